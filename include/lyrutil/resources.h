/// @file
/// The resources of the host application that the library uses. The library carries no
/// resources of its own: every text it shows or stores by default, and the template of its one
/// dialog, come from the host's string table and dialog templates under these IDs. The texts are
/// the host's; each must keep the inserts noted here.
#ifndef LYRUTIL_RESOURCES_H
#define LYRUTIL_RESOURCES_H

// Strings.
#define IDS_LYR_FILE_TYPE_FIRST 1       ///< display names of file-type codes 1 to 15; no inserts
#define IDS_LYR_FILE_TYPE_LAST 15       ///< the last file-type code with a display name
#define IDS_LYR_FULL_FILE_PATH 16       ///< template of a full path: %1 directory, %2 file name
#define IDS_LYR_UNNAMED_FIELD 155       ///< insert of 1035 when a field has no name
#define IDS_LYR_DEFAULT_ENTRY_TEXT 160  ///< default text of an audit entry's fields, <= 15 chars
#define IDS_LYR_DIRECTORY_WORD 466      ///< the word for a directory in 1032
#define IDS_LYR_PATH_MISSING 1032       ///< %1 type name (or 466), %2 path
#define IDS_LYR_FILE_MISSING 1033       ///< %1 path
#define IDS_LYR_CRITICAL_ERROR 1034     ///< no inserts
#define IDS_LYR_FIELD_LINE 1035         ///< %1 field name (or 155)
#define IDS_LYR_ONE_VALUE_HEADER 1036   ///< %1 value
#define IDS_LYR_RANGE_HEADER 1037       ///< %1 lower limit, %2 upper limit
#define IDS_LYR_COPY_FAILED 1038        ///< %1 source, %2 destination
#define IDS_LYR_NO_DRIVE_LETTER 1041    ///< %1 the path's first character
#define IDS_LYR_CREATE_DIRS 1042        ///< %1 path
#define IDS_LYR_CANNOT_MAKE_DIR 1043    ///< %1 the path up to the level that failed
#define IDS_LYR_INTEGER_RANGE 59415     ///< fixed text under the integer range header

// The user-log dialog: a template with two edit controls and the OK and Cancel buttons.
#define IDD_LYR_USER_LOG 229         ///< the template
#define IDC_LYR_SYSTEM_MESSAGE 1256  ///< the system message, read only
#define IDC_LYR_USER_MESSAGE 1257    ///< the user's comment

#endif  // LYRUTIL_RESOURCES_H
