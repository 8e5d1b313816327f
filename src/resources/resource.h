#pragma once
// Resource identifiers shared by the .rc file and the code.
#define IDI_APP 1
#define IDI_ABOUT 2
#define IDI_DECOR 3
#define IDB_HEADER 101
#define IDB_TITLE 102
#define IDB_OPTION1 103
#define IDB_OPTION2 104
#define IDB_OPTION3 105
#define IDB_OPTION4 106
#define IDB_OPTION5 107
#define IDB_STRIP 108
#define IDB_ABOUT_TOP 109
