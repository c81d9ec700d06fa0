#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/Registration.h"

using namespace kovra;

namespace {

class FakeResources : public ResourceSource {
 public:
  std::vector<uint8_t> Info = std::vector<uint8_t>(103873, 0x5A);
  bool HasEnc = false;
  uint8_t Enc[3] = {1, 2, 3};
  ModuleResource Find(const char* name, const char* type) const override {
    if (std::strcmp(name, "INFORMATION_00") == 0 && std::strcmp(type, "PLN") == 0)
      return {Info.data(), static_cast<uint32_t>(Info.size()), 0x10002000};
    if (HasEnc && std::strcmp(name, "VOSKARD_00") == 0 && std::strcmp(type, "ENC") == 0)
      return {Enc, 3, 0x10003000};
    return {};
  }
};

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

struct Fixture : ::testing::Test {
  FakeResources res;
  TPluginRegistration reg{res, 0x10001000, 0x10001040};
  uint32_t Ask(uint32_t request, void* arg = nullptr, uint32_t inOut = 0) {
    reg.Initialize(request, arg, &inOut);
    return inOut;
  }
};

}  // namespace

TEST_F(Fixture, HandshakeRegistersEveryServiceInTableOrder) {
  EXPECT_EQ(Ask(255), 14u);
  int cb[14];
  for (uint32_t i = 0; i < 14; ++i) {
    EXPECT_EQ(Ask(0), ServiceTable[i]) << i;
    EXPECT_EQ(Ask(1, &cb[i], i), kAnswerStored) << i;
  }
  EXPECT_EQ(Ask(0), kAnswerNoMore);
  EXPECT_EQ(reg.RegistrationIndex(), 14u);
  // Position 14 and beyond: nothing to register, nothing stored.
  EXPECT_EQ(Ask(1, &cb[0], 14), kAnswerNoMore);
  EXPECT_EQ(reg.RegistrationIndex(), 14u);
  const uint32_t ids[] = {21, 26, 20, 24, 25, 18, 27, 16, 1, 0, 2, 6, 11, 3};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(reg.ServiceSlot(ids[i]), &cb[i]) << ids[i];
  EXPECT_EQ(reg.ServiceSlot(7), nullptr);
}

TEST_F(Fixture, WrongIndexChangesNothingAndRestartRewinds) {
  int a, b;
  Ask(255);
  EXPECT_EQ(Ask(0), 21u);
  EXPECT_EQ(Ask(1, &a, 0), kAnswerStored);
  EXPECT_EQ(Ask(0), 26u);
  EXPECT_EQ(Ask(1, &b, 0), kAnswerNoMore);  // index 0 again does not match 1
  EXPECT_EQ(Ask(1, &b, 5), kAnswerNoMore);
  EXPECT_EQ(reg.RegistrationIndex(), 1u);
  EXPECT_EQ(reg.ServiceSlot(26), nullptr);
  EXPECT_EQ(Ask(1, &b, 1), kAnswerStored);
  EXPECT_EQ(reg.ServiceSlot(26), &b);
  // 255 rewinds at any time; slots keep their last value until replaced.
  EXPECT_EQ(Ask(255), 14u);
  EXPECT_EQ(Ask(0), 21u);
  EXPECT_EQ(reg.ServiceSlot(26), &b);
  EXPECT_EQ(Ask(1, &b, 0), kAnswerStored);
  EXPECT_EQ(reg.ServiceSlot(21), &b);
}

TEST_F(Fixture, UnknownRequestsLeaveTheAnswerAlone) {
  for (uint32_t r : {6u, 7u, 100u, 254u, 256u, 0xFFFFFFFFu}) EXPECT_EQ(Ask(r, nullptr, 0xABCD), 0xABCDu) << r;
  EXPECT_EQ(reg.RegistrationIndex(), 0u);
  reg.Initialize(255, nullptr, nullptr);  // no place for an answer: ignored, no crash
}

TEST_F(Fixture, DescriptorBytes) {
  uint8_t buf[80];
  std::memset(buf, 0xCC, sizeof buf);
  EXPECT_EQ(Ask(2, buf, 0), 76u);
  EXPECT_EQ(U32(buf + 0), 0x10001000u);
  EXPECT_EQ(U32(buf + 4), 0x10001040u);
  EXPECT_EQ(U32(buf + 8), 0u);
  EXPECT_EQ(U32(buf + 12), 0xFFFF1234u);
  for (int i = 16; i < 76; ++i) EXPECT_EQ(buf[i], 0) << i;
  EXPECT_EQ(buf[76], 0xCC);  // exactly 76 bytes copied
  EXPECT_EQ(std::memcmp(buf, reg.PluginDescriptor(), 76), 0);
}

TEST_F(Fixture, DescriptorCarriesAnEncResourceWhenPresent) {
  res.HasEnc = true;
  uint8_t buf[76];
  Ask(2, buf, 0);
  EXPECT_EQ(U32(buf + 48), 0x10003000u);
  EXPECT_EQ(U32(buf + 52), 3u);
}

TEST_F(Fixture, IdentityString) {
  struct Case {
    uint32_t capacity;
    uint32_t answer;
    bool copied;
  } cases[] = {{0, 11, false}, {11, 11, false}, {12, 0, true}, {4096, 0, true}};
  for (const Case& c : cases) {
    uint8_t buf[16];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(Ask(3, buf, c.capacity), c.answer) << c.capacity;
    const uint8_t want[] = {0x0B, 0x26, 0x53, 0x46, 0x31, 0x31, 0x36, 0x5F, 0x31, 0x2E, 0x30, 0x31};
    if (c.copied) {
      EXPECT_EQ(std::memcmp(buf, want, 12), 0);
      EXPECT_EQ(buf[12], 0xEE);
    } else {
      EXPECT_EQ(buf[0], 0xEE);
    }
  }
}

TEST_F(Fixture, ResourceBlocks) {
  std::vector<uint8_t> buf(200000, 0);
  EXPECT_EQ(Ask(4, buf.data(), 200000), 0u);  // no schematics
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(Ask(5, buf.data(), 0), 103873u);
  EXPECT_EQ(Ask(5, buf.data(), 103872), 103873u);
  EXPECT_EQ(buf[0], 0);  // too small: nothing copied
  EXPECT_EQ(Ask(5, nullptr, 200000), 103873u);  // no buffer: size only
  EXPECT_EQ(Ask(5, buf.data(), 103873), 103873u);
  EXPECT_EQ(buf[103872], 0x5A);
  EXPECT_EQ(buf[103873], 0);
}

TEST(CenterOver, SignedDivisionTruncatesTowardZero) {
  struct Case {
    int32_t l, t, w, h, ww, wh, wantL, wantT;
  } cases[] = {
      {100, 50, 801, 600, 804, 500, 99, 100},  // -3 div 2 = -1, not -2
      {0, 0, 1000, 800, 1000, 800, 0, 0},
      {10, 10, 1001, 801, 1000, 800, 10, 10},
      {-500, -20, 100, 100, 1046, 633, -973, -286},
  };
  for (const Case& c : cases) {
    WindowPlacement p = CenterOver(c.l, c.t, c.w, c.h, c.ww, c.wh);
    EXPECT_EQ(p.Left, c.wantL);
    EXPECT_EQ(p.Top, c.wantT);
  }
}
