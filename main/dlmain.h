#pragma once
// The plug-in's main object: every host event reaches it.
#include "rig/slot_table.h"
#include "sdk/plugin.h"

// The plug-in's identity, the same pair its user-data kinds are registered with.
constexpr uint32_t QUORVEL_PRODUCT_ID = quorvel::kRigProductId;
constexpr uint32_t QUORVEL_PLUGIN_ID = quorvel::kRigPluginId;

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
