#pragma once
// Which folders a purge refuses: those whose files cannot be told apart from the user's own.
#include "platform/FileLocation.h"
#include <string>

namespace pb {

struct Refusal {
    bool refused = false;
    std::wstring why; // where it could not be told whether the folder is safe to purge: why not
};

// A volume or share root; the Windows, system and Program Files folders, ProgramData, the
// profile, the Public folder and the user's content folders (Desktop, Documents, Downloads,
// Music, Pictures, Videos, Favorites, own and common), and under Wine the user's Unix home,
// and every folder above any of them; every folder inside a content folder or the Unix home;
// and under Wine every folder on a drive other than the Windows folder's and the home's.
// Folders below the others, such as the Windows directory's Temp and the profile's temp
// folder, are accepted. Under Wine, a folder is refused also where this cannot be told.
Refusal RefusalOf(const HeldFolder& folder);

} // namespace pb
