#pragma once
// The activity log.
#include <string>

namespace pb {

// The one writer of the activity log and the status line.
void AddLog(const std::wstring& text);

} // namespace pb
