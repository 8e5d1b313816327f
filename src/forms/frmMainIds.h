#pragma once
// The main window's control and menu ids: the program's, and those that a program driving it
// from outside finds its controls by.

namespace pb {

// clang-format off
enum ControlId : int {
    idCheck1 = 1001, idCheck2, idCheck3, idCheck4, idCheck5,
    idCommand1 = 1011, idCommand2, idCommand3, idCommand4,
    idList1 = 1020, idText1, idFile1,
    idImgGo = 1030,
    idImage1 = 1041, idImage2, idImage3, idImage4, idImage5, idImage6, idImage7, idImage8, idImage9,
    idShape1 = 1051, idShape2, idLine1,
    idLabel2 = 1060,
    idLabel1 = 1070, // + index
    idPicture1 = 1080,
    idWebBrowser1 = 1090,
    idMnuClean = 3001, idMnuOpen, idMnuClose, idMnuWeb,
};
// clang-format on

} // namespace pb
