// Declarations of the file-system plugin interface (WFX) as the host calls it on
// Linux: plain C calling convention, packed records, UTF-8 char* text. Only the
// entry-point layer includes this header; the core works with its own types.
#ifndef TOMEVA_INCLUDE_WFX_PLUGIN_H_
#define TOMEVA_INCLUDE_WFX_PLUGIN_H_

#include <stddef.h>
#include <stdint.h>

#include "wdx_plugin.h"  // ft_* field types and results, shared by the content entry points

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef int BOOL;
typedef uint16_t WCHAR;
typedef void* HANDLE;
typedef void* HWND;
typedef void* HBITMAP;

#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Results of FsGetFile, FsPutFile, FsRenMovFile.
enum {
  FS_FILE_OK = 0,
  FS_FILE_EXISTS = 1,
  FS_FILE_NOTFOUND = 2,
  FS_FILE_READERROR = 3,
  FS_FILE_WRITEERROR = 4,
  FS_FILE_USERABORT = 5,
  FS_FILE_NOTSUPPORTED = 6,
  FS_FILE_EXISTSRESUMEALLOWED = 7,
};

// LogProc message types.
enum {
  MSGTYPE_CONNECT = 1,
  MSGTYPE_DISCONNECT = 2,
  MSGTYPE_DETAILS = 3,
  MSGTYPE_TRANSFERCOMPLETE = 4,
  MSGTYPE_CONNECTCOMPLETE = 5,
  MSGTYPE_IMPORTANTERROR = 6,
  MSGTYPE_OPERATIONCOMPLETE = 7,
};

// FsStatusInfo: the start or end of an operation, and which operation.
enum { FS_STATUS_START = 0, FS_STATUS_END = 1 };
enum {
  FS_STATUS_OP_LIST = 1,
  FS_STATUS_OP_GET_SINGLE = 2,
  FS_STATUS_OP_GET_MULTI = 3,
  FS_STATUS_OP_PUT_SINGLE = 4,
  FS_STATUS_OP_PUT_MULTI = 5,
  FS_STATUS_OP_RENMOV_SINGLE = 6,
  FS_STATUS_OP_RENMOV_MULTI = 7,
  FS_STATUS_OP_DELETE = 8,
  FS_STATUS_OP_ATTRIB = 9,
  FS_STATUS_OP_MKDIR = 10,
  FS_STATUS_OP_EXEC = 11,
  FS_STATUS_OP_CALCSIZE = 12,
  FS_STATUS_OP_SEARCH = 13,
  FS_STATUS_OP_SEARCH_TEXT = 14,
  FS_STATUS_OP_SYNC_SEARCH = 15,
  FS_STATUS_OP_SYNC_GET = 16,
  FS_STATUS_OP_SYNC_PUT = 17,
  FS_STATUS_OP_SYNC_DELETE = 18,
  FS_STATUS_OP_GET_MULTI_THREAD = 19,
  FS_STATUS_OP_PUT_MULTI_THREAD = 20,
};

// Results of FsExecuteFile.
enum { FS_EXEC_OK = 0, FS_EXEC_ERROR = 1, FS_EXEC_YOURSELF = -1, FS_EXEC_SYMLINK = -2 };

// Copy flags of FsGetFile and FsPutFile.
enum {
  FS_COPYFLAGS_OVERWRITE = 1,
  FS_COPYFLAGS_RESUME = 2,
  FS_COPYFLAGS_MOVE = 4,
  FS_COPYFLAGS_EXISTS_SAMECASE = 8,
  FS_COPYFLAGS_EXISTS_DIFFERENTCASE = 16,
};

// Request types of the RequestProc callback.
enum {
  RT_Other = 0,
  RT_UserName = 1,
  RT_Password = 2,
  RT_Account = 3,
  RT_UserNameFirewall = 4,
  RT_PasswordFirewall = 5,
  RT_TargetDir = 6,
  RT_URL = 7,
  RT_MsgOK = 8,
  RT_MsgYesNo = 9,
  RT_MsgOKCancel = 10,
};

// Results of FsGetPreviewBitmap.
enum {
  FS_BITMAP_NONE = 0,
  FS_BITMAP_EXTRACTED = 1,
  FS_BITMAP_EXTRACT_YOURSELF = 2,
  FS_BITMAP_EXTRACT_YOURSELF_ANDDELETE = 3,
  FS_BITMAP_CACHE = 256,
};

// Flags of FsGetBackgroundFlags.
enum { BG_DOWNLOAD = 1, BG_UPLOAD = 2, BG_ASK_USER = 4 };

enum { FILE_ATTRIBUTE_DIRECTORY = 0x10, FILE_ATTRIBUTE_NORMAL = 0x80 };

// The FILETIME of an entry without a date: the host shows no date for it.
#define FS_TIME_UNKNOWN_LOW 0xFFFFFFFEu
#define FS_TIME_UNKNOWN_HIGH 0xFFFFFFFFu

// Flags of FsContentGetValue: the host would rather wait (DELAYIFSLOW) than have
// a slow value computed now; PASSTHROUGH passes a size the host already knows.
enum { CONTENT_DELAYIFSLOW = 1, CONTENT_PASSTHROUGH = 2 };

// Results of FsContentGetSupportedFieldFlags (the field may be edited, or the host
// may show it in place of its own size, date or attributes).
enum {
  contflags_edit = 1,
  contflags_substsize = 2,
  contflags_substdatetime = 4,
  contflags_substdate = 6,
  contflags_substtime = 8,
  contflags_substattributes = 10,
  contflags_substattributestr = 12,
  contflags_passthrough_size_float = 14,
  contflags_substmask = 14,
  contflags_fieldedit = 16,
};
enum { ERROR_NO_MORE_FILES = 18 };

#pragma pack(push, 1)
typedef struct {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME;  // 100 ns intervals since 1601-01-01 UTC

typedef struct {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  char cFileName[MAX_PATH];
  char cAlternateFileName[14];
} WIN32_FIND_DATAA;

typedef struct {
  DWORD SizeLow;
  DWORD SizeHigh;
  FILETIME LastWriteTime;
  int Attr;
} RemoteInfoStruct;

typedef struct {
  int size;  // the host may pass a larger record: never compare for equality
  DWORD PluginInterfaceVersionLow;
  DWORD PluginInterfaceVersionHi;
  char DefaultIniName[MAX_PATH];
} FsDefaultParamStruct;
#pragma pack(pop)

typedef int (*tProgressProc)(int PluginNr, char* SourceName, char* TargetName, int PercentDone);
typedef void (*tLogProc)(int PluginNr, int MsgType, char* LogString);
typedef BOOL (*tRequestProc)(int PluginNr, int RequestType, char* CustomTitle, char* CustomText,
                             char* ReturnedText, int maxlen);

// Folder entry points: the host creates a folder before copying files into it
// and removes one after deleting its files. TRUE for success.
typedef BOOL (*tFsMkDir)(char* Path);
typedef BOOL (*tFsRemoveDir)(char* RemoteName);

// Content entry points: the plugin's files carry fields that the host shows as
// custom columns. FsContentGetSupportedField names field FieldIndex (from 0) and
// returns its ft_* type, ft_nomorefields past the last; the host may call it
// before FsInit. FsContentGetValue writes the value of a field of FileName (a
// path inside the plugin) into FieldValue (maxlen bytes for text, an int for
// ft_numeric_32) and returns its type, or ft_fieldempty, ft_nosuchfield,
// ft_fileerror. FsContentGetDefaultView fills the column set the host switches
// to in the plugin: ViewContents and ViewHeaders hold one entry per column
// separated by the two characters "\\n", ViewWidths the widths of the name, the
// extension and every column (a negative width aligns right), ViewOptions
// "auto-size|horizontal scrollbar" ("-1|0"); TRUE when a view was given.
typedef int (*tFsContentGetSupportedField)(int FieldIndex, char* FieldName, char* Units,
                                           int maxlen);
typedef int (*tFsContentGetValue)(char* FileName, int FieldIndex, int UnitIndex, void* FieldValue,
                                  int maxlen, int flags);
typedef int (*tFsContentGetSupportedFieldFlags)(int FieldIndex);
typedef int (*tFsContentGetDefaultSortOrder)(int FieldIndex);
typedef BOOL (*tFsContentGetDefaultView)(char* ViewContents, char* ViewHeaders, char* ViewWidths,
                                         char* ViewOptions, int maxlen);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(FILETIME) == 8, "FILETIME layout");
static_assert(sizeof(WIN32_FIND_DATAA) == 318, "WIN32_FIND_DATAA layout");
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == 44, "cFileName offset");
static_assert(offsetof(WIN32_FIND_DATAA, cAlternateFileName) == 304, "cAlternateFileName offset");
static_assert(sizeof(RemoteInfoStruct) == 20, "RemoteInfoStruct layout");
#endif

#endif  // TOMEVA_INCLUDE_WFX_PLUGIN_H_
