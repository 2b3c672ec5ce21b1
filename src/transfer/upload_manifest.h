#pragma once
// The upload manifest: the form field "_ZTUInfo" that tells the server about
// every entry of the list (N new, V unchanged server file, U replaced server
// file) and every deleted server entry (D), with the attribute values.
#include <vector>

#include "model/records.h"
#include "transfer/trans_mgr.h"

namespace zt {

// Builds the manifest from the file list and the deleted list (either may
// be absent) over the attribute names, registers every N and U entry's file
// with manager.AddSendFile, and sets the field "_ZTUInfo" on the manager.
// Header and entry rows end with CR LF, D rows with a lone LF (servers split
// on exactly that). Sizes are printed as full 64-bit numbers. Returns false
// when memory ran out, or when an entry must be sent and the manager has no
// file system to look it up in; true otherwise.
bool BuildUploadManifest(const std::vector<CZTFileItem>* files, const std::vector<CZTFileItem>* deleted,
                         const std::vector<CZTFileAttrInfo>& attributeNames, CZTTransMgr& manager);

}  // namespace zt
