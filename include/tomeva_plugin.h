// Tomeva's own entry points beside the file-system plugin interface, for
// callers that know Tomeva (the tomeva program). A file manager never calls
// them; every operation stays reachable through the interface alone.
#ifndef TOMEVA_INCLUDE_TOMEVA_PLUGIN_H_
#define TOMEVA_INCLUDE_TOMEVA_PLUGIN_H_

#include "wfx_plugin.h"

#ifdef __cplusplus
extern "C" {
#endif

// The result of book Index of a TomevaPutFiles call: an FS_FILE_* code as
// FsPutFile would return it, and for a book that was not imported, why (UTF-8;
// valid during the call only; may be empty). Data is the caller's pointer.
typedef void (*tTomevaPutResultProc)(void* Data, int Index, int Result, const char* Reason);

// Imports Count local files as FsPutFile would one by one (CopyFlags as there;
// RemoteNames as its RemoteName), many books to a catalog transaction. A
// book's result is passed to OnResult only after the transaction holding it
// has ended, so a book reported FS_FILE_OK is durable. Progress is reported
// per book through the plugin's progress callback, where an abort ends the
// import: the aborted book's result is FS_FILE_USERABORT and the books after
// it get none. Returns FS_FILE_OK when every book got its result,
// FS_FILE_USERABORT after an abort, FS_FILE_WRITEERROR when nothing could be
// imported (no catalog is open: the reason was logged).
int TomevaPutFiles(int Count, char** LocalNames, char** RemoteNames, int CopyFlags,
                   tTomevaPutResultProc OnResult, void* Data);

#ifdef __cplusplus
}
#endif

#endif  // TOMEVA_INCLUDE_TOMEVA_PLUGIN_H_
