#pragma once
// The plug-in's main object: every host event reaches it.
#include "sdk/plugin.h"

constexpr uint32_t QUORVEL_PRODUCT_ID = 0x5A3C9E17;
constexpr uint32_t QUORVEL_PLUGIN_ID = 0xC4172B86;

class DLMAIN : public MQCommandPlugin {
 public:
  DLMAIN() = default;
  ~DLMAIN() override = default;

  void GetPlugInID(uint32_t* product, uint32_t* id) override;
  const char* GetPlugInName() override;
  const char* EnumString() override;

  BOOL Initialize() override;
  void Exit() override;
  BOOL Activate(MQDocument doc, BOOL flag) override;
};
