#pragma once
// The request/answer protocol of the exported Initialize entry, kept free of
// Windows types so that it is tested natively as well as inside the DLL.
#include <array>
#include <cstddef>
#include <cstdint>

namespace kovra {

// Host service IDs that the module asks for, in the order it asks.
inline constexpr std::array<uint32_t, 14> ServiceTable = {21, 26, 20, 24, 25, 18, 27,
                                                          16, 1,  0,  2,  6,  11, 3};

inline constexpr uint32_t kAnswerNoMore = 0x8FFFFFFFu;   // also DoPluginMain's result
inline constexpr uint32_t kAnswerStored = 0x80000000u;
inline constexpr uint32_t kDescriptorSize = 76;
inline constexpr uint32_t kDescriptorMark = 0xFFFF1234u;

inline constexpr char kPluginTitle[] = "Qualcomm FullFlash Image Files Processing Tool";
inline constexpr char kPluginMaker[] = "QUALCOMM";
// Length byte, then the 11 characters.
inline constexpr std::array<uint8_t, 12> kIdentityString = {
    0x0B, '&', 'S', 'F', '1', '1', '6', '_', '1', '.', '0', '1'};

// A resource of the module as the host sees it: where it is loaded (as a
// 32-bit address on the target) and its bytes.
struct ModuleResource {
  const uint8_t* Data = nullptr;  // nullptr: the module has no such resource
  uint32_t Size = 0;
  uint32_t Address = 0;
};

// Finds a named resource of a given type in the module's own file.
class ResourceSource {
 public:
  virtual ~ResourceSource() = default;
  virtual ModuleResource Find(const char* name, const char* type) const = 0;
};

class TPluginRegistration {
 public:
  // titleAddr and makerAddr are the 32-bit addresses of the two texts as the
  // host will read them from the descriptor.
  TPluginRegistration(const ResourceSource& resources, uint32_t titleAddr, uint32_t makerAddr);

  // One call of the exported entry. A null inOut is ignored: there is no
  // place to put an answer.
  void Initialize(uint32_t requestType, void* arg, uint32_t* inOut);

  // The callback the host registered for service id, or nullptr.
  void* ServiceSlot(uint32_t id) const;

  uint32_t RegistrationIndex() const { return fRegistrationIndex; }
  const uint8_t* PluginDescriptor() const { return fDescriptor.data(); }

 private:
  void AnswerResource(const char* name, void* arg, uint32_t* inOut) const;

  const ResourceSource& fResources;
  uint32_t fRegistrationIndex = 0;
  std::array<void*, ServiceTable.size()> fSlots{};
  std::array<uint8_t, kDescriptorSize> fDescriptor{};
};

// Centring of the main window over the host's window: the division by two is
// signed and truncates toward zero, as the host expects.
struct WindowPlacement {
  int32_t Left;
  int32_t Top;
};
WindowPlacement CenterOver(int32_t hostLeft, int32_t hostTop, int32_t hostWidth, int32_t hostHeight,
                           int32_t width, int32_t height);

}  // namespace kovra
