#include "ui/panels/bone_combo.h"

#include <string>

#include "rig/host_records.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"

void DLP_BONECBOX::Fill(MQDocument doc, const quorvel::RigSlotTable& slots, bool selected_body_only,
                        bool with_child_only) {
  Clear();
  if (doc == nullptr) return;
  const MQHostApi& api = HostApi();
  quorvel::host_records::ForEachObject(doc, [&](MQObject obj, int) {
    if (with_child_only && api.MQDoc_GetChildObjectCount(doc, obj) <= 0) return;
    if (selected_body_only && !quorvel::GetBoneFlag(obj, slots, quorvel::OBase::OB_SEL_BODY)) return;
    char name[256] = {};
    api.MQObj_GetName(obj, name, sizeof name);
    name[sizeof name - 1] = '\0';
    const int index = AddString(name);
    if (index >= 0) SetItemData(index, static_cast<LPARAM>(quorvel::host_records::UniqueId(obj)));
  });
}

void DLP_BONECBOX::Select(int unique_id) {
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    if (static_cast<int>(ItemData(i)) == unique_id) {
      SetSelection(i);
      return;
    }
  }
  SetSelection(-1);
}

int DLP_BONECBOX::SelectedId() const {
  const int index = GetSelection();
  return index < 0 ? -1 : static_cast<int>(ItemData(index));
}
