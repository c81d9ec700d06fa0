#include "plugin/Registration.h"

#include <cstring>

namespace kovra {
namespace {

void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

TPluginRegistration::TPluginRegistration(const ResourceSource& resources, uint32_t titleAddr,
                                         uint32_t makerAddr)
    : fResources(resources) {
  PutU32(&fDescriptor[0], titleAddr);
  PutU32(&fDescriptor[4], makerAddr);
  PutU32(&fDescriptor[12], kDescriptorMark);
}

void* TPluginRegistration::ServiceSlot(uint32_t id) const {
  for (size_t i = 0; i < ServiceTable.size(); ++i)
    if (ServiceTable[i] == id) return fSlots[i];
  return nullptr;
}

void TPluginRegistration::AnswerResource(const char* name, void* arg, uint32_t* inOut) const {
  const ModuleResource res = fResources.Find(name, "PLN");
  if (res.Data == nullptr) {
    *inOut = 0;
    return;
  }
  // A null buffer is treated as one that is too small: answering the size
  // tells the host what to allocate, and nothing is written through null.
  if (arg != nullptr && res.Size <= *inOut) std::memcpy(arg, res.Data, res.Size);
  *inOut = res.Size;
}

void TPluginRegistration::Initialize(uint32_t requestType, void* arg, uint32_t* inOut) {
  if (inOut == nullptr) return;
  switch (requestType) {
    case 255:
      fRegistrationIndex = 0;
      *inOut = static_cast<uint32_t>(ServiceTable.size());
      break;
    case 0:
      *inOut = fRegistrationIndex < ServiceTable.size() ? ServiceTable[fRegistrationIndex]
                                                        : kAnswerNoMore;
      break;
    case 1:
      // Past the last service there is nothing to register: answered like a
      // mismatched index.
      if (*inOut == fRegistrationIndex && fRegistrationIndex < ServiceTable.size()) {
        fSlots[fRegistrationIndex] = arg;
        ++fRegistrationIndex;
        *inOut = kAnswerStored;
      } else {
        *inOut = kAnswerNoMore;
      }
      break;
    case 2: {
      const ModuleResource enc = fResources.Find("VOSKARD_00", "ENC");
      PutU32(&fDescriptor[48], enc.Data ? enc.Address : 0);
      PutU32(&fDescriptor[52], enc.Data ? enc.Size : 0);
      if (arg != nullptr) std::memcpy(arg, fDescriptor.data(), fDescriptor.size());
      *inOut = kDescriptorSize;
      break;
    }
    case 3:
      if (*inOut >= kIdentityString.size() && arg != nullptr) {
        std::memcpy(arg, kIdentityString.data(), kIdentityString.size());
        *inOut = 0;
      } else {
        *inOut = kIdentityString[0];
      }
      break;
    case 4:
      AnswerResource("SCHEMATICS_00", arg, inOut);
      break;
    case 5:
      AnswerResource("INFORMATION_00", arg, inOut);
      break;
    default:
      break;
  }
}

WindowPlacement CenterOver(int32_t hostLeft, int32_t hostTop, int32_t hostWidth, int32_t hostHeight,
                           int32_t width, int32_t height) {
  // int64 keeps extreme rectangles from overflowing; C++ division truncates
  // toward zero, which is the rule.
  const int64_t dx = (static_cast<int64_t>(hostWidth) - width) / 2;
  const int64_t dy = (static_cast<int64_t>(hostHeight) - height) / 2;
  return {static_cast<int32_t>(hostLeft + dx), static_cast<int32_t>(hostTop + dy)};
}

}  // namespace kovra
