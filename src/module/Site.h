#pragma once
// The maker and its web site: every address and name the program shows comes
// from here.

namespace pb {

constexpr const wchar_t* kMakerName = L"Brightwater Software";
constexpr const wchar_t* kMakerSite = L"http://www.brightwatersoft.example";
// Label1(1) shows the domain in mixed case; its click handler compares the
// lower case form.
constexpr const wchar_t* kMakerDomainCaption = L"BrightwaterSoft.example";
constexpr const wchar_t* kMakerDomainLower = L"brightwatersoft.example";
constexpr const wchar_t* kMakerEmail = L"support@brightwatersoft.example";

constexpr const wchar_t* kSiteRootPath = L"/";
constexpr const wchar_t* kProductPagePath = L"/purgebox/";
constexpr const wchar_t* kBannerPagePath = L"/purgebox/header.htm";

} // namespace pb
