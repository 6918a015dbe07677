#include "main/dlmain.h"

void DLMAIN::GetPlugInID(uint32_t* product, uint32_t* id) {
  if (product != nullptr) *product = QUORVEL_PRODUCT_ID;
  if (id != nullptr) *id = QUORVEL_PLUGIN_ID;
}

const char* DLMAIN::GetPlugInName() { return "Quorvel        Copyright(C) 2026, Ostrak"; }

const char* DLMAIN::EnumString() { return "Quorvel"; }

BOOL DLMAIN::Initialize() { return TRUE; }

void DLMAIN::Exit() {}

// The command is taken or given up as the host asks.
BOOL DLMAIN::Activate(MQDocument /*doc*/, BOOL flag) { return flag; }
