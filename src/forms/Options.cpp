#include "forms/Options.h"
#include "forms/Captions.h"
#include "module/Tasks.h"
#include <algorithm>

namespace pb {

// clang-format off
const std::array<Option, 5> kOptions{{
    {&FrmMain::Check1, idCheck1, L"Temporary Internet Files",
     L"Purgebox will remove all of the IE Temporary Internet Files cached by your browser. "
     L"These files include previously visited web pages (including images), stored "
     L"JavaScripts, cookies and more. Your Internet History will remain intact.",
     &FrmMain::Image4, &ClearCache, 1, 0.2, 0, true},
    {&FrmMain::Check2, idCheck2, kTypedUrlsOption.text,
     L"Purgebox will remove all of the URLs (Internet Addresses) stored in your IE Address bar.",
     &FrmMain::Image5, &ClearTypedUrls, 2, 0.4, 0, true},
    {&FrmMain::Check3, idCheck3, L"Recent Documents List",
     L"Purgebox will delete the items in your Recent Documents Folder. To view these "
     L"shortcuts, click on Start > Documents.",
     &FrmMain::Image7, &CleanRecentFolder, 4, 0.8, 0, true},
    {&FrmMain::Check4, idCheck4, L"Internet Explorer History",
     L"Purgebox can clean up and delete your Internet History, however before this operation "
     L"can take place, Purgebox will have to close ALL of your Internet Explorer Windows. This "
     L"procedure will allow Purgebox to conceal all the sites visited by the IE browser.",
     &FrmMain::Image6, &CleanHistory, 3, 0.6, 0, true},
    {&FrmMain::Check5, idCheck5, L"Windows Temp Files",
     L"Purgebox will attempt to delete all of the temporary files located in the Windows Temp "
     L"folder. Some of the files may not be able to be deleted because they may be in use by "
     L"other programs. Keep in mind that new temp files are generated almost every time you use "
     L"your computer.",
     &FrmMain::Image8, &CleanTempFolder, 5, 1.0, -20, false},
}};
// clang-format on

std::array<const Option*, 5> OptionsInRunOrder() {
    std::array<const Option*, 5> order{};
    std::ranges::transform(kOptions, order.begin(), [](const Option& o) { return &o; });
    std::ranges::sort(order, {}, &Option::stage);
    return order;
}

} // namespace pb
