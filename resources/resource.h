#pragma once
// Identifiers of the program's resources.

#define IDI_KALVERA 1
#define IDB_FOLDERS 101
#define IDB_LARGE_ICONS 102
#define IDB_SMALL_ICONS 103
#define IDB_LIST 104
#define IDB_DETAILS 105
#define IDB_RUN 106
#define IDB_OK 107
