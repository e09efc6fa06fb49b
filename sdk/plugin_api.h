/*
 * plugin_api.h: the whole interface between the messenger host and a plug-in module.
 *
 * A plug-in is a shared library that exports exactly three C functions,
 * MirandaPluginInfo, Load and Unload (see "Module exports" at the end). Everything
 * else it reaches through the PLUGINLINK table that the host hands to Load: named
 * services it can call, and named events it can hook.
 *
 * Threading: the host calls every export, hook and service on its user-interface
 * thread, and a plug-in must call the PLUGINLINK functions on that thread only.
 * Nothing here is locked.
 *
 * Memory: strings and records that a plug-in passes in are read during the call
 * only (the host copies what it keeps). Pointers the host hands out say below how
 * long they stay valid. No function here throws.
 *
 * Layout: the records keep the field order and field sizes of the original
 * 32-bit platform; the sizes are checked at compile time on a 32-bit build.
 *
 * This header is valid C (C11 and later) and C++.
 */
#ifndef TESSARO_SDK_PLUGIN_API_H_
#define TESSARO_SDK_PLUGIN_API_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Basic platform types -------------------------------------------------------------
 * The integer widths of the original platform. WPARAM, LPARAM and every service
 * result are pointer-sized, because services pass and return pointers through them.
 * Another platform header may define the same names; it must use the same types and
 * define TESSARO_PLATFORM_TYPES_DEFINED so the two can be included together. */
#ifndef TESSARO_PLATFORM_TYPES_DEFINED
#define TESSARO_PLATFORM_TYPES_DEFINED
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef UINT_PTR WPARAM;
typedef INT_PTR LPARAM;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef void* HANDLE;
typedef void* HICON;
#endif

/* A service: takes the two arguments its caller passes and returns a result whose
 * meaning is the service's own. */
typedef INT_PTR (*MIRANDASERVICE)(WPARAM, LPARAM);

/* An event hook: takes the two arguments of the notification. Return 0 to let the
 * hooks registered after it run too; any other value stops the chain there. */
typedef int (*MIRANDAHOOK)(WPARAM, LPARAM);

/* CallService's result when no service of that name exists. */
#define CALLSERVICE_NOTFOUND ((INT_PTR)0x80000000)

/* Builds a module version: one byte per part, major first (1.0.0.0 is 0x01000000). */
#define PLUGIN_MAKE_VERSION(a, b, c, d) \
  ((DWORD)((((a)&0xFF) << 24) | (((b)&0xFF) << 16) | (((c)&0xFF) << 8) | ((d)&0xFF)))

/* ---- PLUGINLINK: the host's core functions ---------------------------------------------
 * Handed to Load; the pointer and every function in it stay valid until the module
 * has been unloaded. Names are copied by the host; they are compared exactly
 * (case counts). Handles are opaque and never 0 when valid. */
typedef struct {
  /* Creates the event `name`. Returns its handle, or 0 if an event of that name
   * already exists or name is NULL. */
  HANDLE (*CreateHookableEvent)(const char* name);

  /* Destroys an event made by CreateHookableEvent together with its hooks.
   * Returns 0 on success, -1 for an unknown handle. */
  int (*DestroyHookableEvent)(HANDLE hEvent);

  /* Calls the hooks of the event in the order they were hooked, each with
   * (wParam, lParam), until one returns non-zero. Hooks added or removed during the
   * notification take effect from the next one (a removed hook is not called).
   * Returns 0 when every hook returned 0, the stopping hook's value otherwise, and
   * -1 for an unknown event handle. */
  int (*NotifyEventHooks)(HANDLE hEvent, WPARAM wParam, LPARAM lParam);

  /* Adds `hook` at the end of the hook chain of the event `name`. Returns the hook's
   * handle, or 0 if no such event exists or hook is NULL. */
  HANDLE (*HookEvent)(const char* name, MIRANDAHOOK hook);

  /* Removes a hook. Returns 0 on success, -1 for an unknown handle. */
  int (*UnhookEvent)(HANDLE hHook);

  /* Creates the service `name`. Returns its handle, or 0 if a service of that name
   * already exists or an argument is NULL. */
  HANDLE (*CreateServiceFunction)(const char* name, MIRANDASERVICE service);

  /* Destroys a service. Returns 0 on success, -1 for an unknown handle. A service
   * that is running at the time finishes its call. */
  int (*DestroyServiceFunction)(HANDLE hService);

  /* Calls the service `name` with (wParam, lParam) and returns its result, or
   * CALLSERVICE_NOTFOUND when no such service exists. */
  INT_PTR (*CallService)(const char* name, WPARAM wParam, LPARAM lParam);

  /* Returns non-zero when a service of that name exists. */
  int (*ServiceExists)(const char* name);
} PLUGINLINK;

/* ---- PLUGININFO: what a module says about itself ---------------------------------------
 * Returned by MirandaPluginInfo. The record and its strings are owned by the module
 * and must stay valid while it is loaded. The host refuses a module whose cbSize
 * is not sizeof(PLUGININFO). */
typedef struct {
  int cbSize;        /* sizeof(PLUGININFO) */
  char* shortName;   /* the module's name as shown to the user */
  DWORD version;     /* PLUGIN_MAKE_VERSION(major, minor, patch, build) */
  char* description; /* one sentence on what it does */
  char* author;      /* the following four may be empty strings */
  char* authorEmail;
  char* copyright;
  char* homepage;
  BYTE isTransient;          /* reserved, 0 */
  int replacesDefaultModule; /* 0: the module replaces none of the host's own */
} PLUGININFO;

/* ---- Event database ------------------------------------------------------------------ */

/* DBEVENTINFO.flags */
#define DBEF_SENT 2 /* the user sent the event (otherwise it was received) */
#define DBEF_READ 4 /* the event has been read */

/* DBEVENTINFO.eventType */
#define EVENTTYPE_MESSAGE 0 /* an instant message; the blob is its text with a closing zero */

/* One event of the database, as read by MS_DB_EVENT_GET and written by MS_DB_EVENT_ADD.
 * The caller owns the record and the blob buffer. */
typedef struct {
  int cbSize;      /* sizeof(DBEVENTINFO); any other value is refused */
  char* szModule;  /* the module (protocol) that owns the event, e.g. "ICQ" */
  DWORD timestamp; /* seconds since 1970-01-01 00:00 UTC */
  DWORD flags;     /* DBEF_* */
  WORD eventType;  /* EVENTTYPE_* */
  DWORD cbBlob;    /* the size of pBlob in bytes */
  BYTE* pBlob;     /* the event's data */
} DBEVENTINFO;

/* Hook. wParam: the contact handle (0 for the user's own events). lParam: the event
 * handle (HANDLE). Notified on the user-interface thread after every event added to
 * the database, once the event can be read. */
#define ME_DB_EVENT_ADDED "DB/Event/Added"

/* Reads an event. wParam: the event handle. lParam: DBEVENTINFO* whose cbSize is
 * sizeof(DBEVENTINFO), pBlob a buffer of cbBlob bytes (pBlob may be NULL only when
 * cbBlob is 0). On success fills szModule (a host-owned string, valid until the host
 * shuts down), timestamp, flags and eventType, copies at most cbBlob bytes of the
 * blob into pBlob and sets cbBlob to the number of bytes copied; nothing is written
 * past the caller's buffer, and a blob cut short there has no closing zero. The
 * event's full blob size comes from MS_DB_EVENT_GETBLOBSIZE. Returns 0 on success;
 * non-zero for an unknown event or a refused record, and then fills nothing. */
#define MS_DB_EVENT_GET "DB/Event/Get"

/* The size of an event's blob. wParam: the event handle. lParam: 0. Returns the size
 * in bytes, or -1 for an unknown event. */
#define MS_DB_EVENT_GETBLOBSIZE "DB/Event/GetBlobSize"

/* Marks an event read. wParam: the contact handle the event belongs to. lParam: the
 * event handle. Sets DBEF_READ and returns the event's flags after the change, or -1
 * when the event is unknown or belongs to another contact. */
#define MS_DB_EVENT_MARKREAD "DB/Event/MarkRead"

/* Adds an event. Meant for protocol modules inside the host, which store each
 * message they send or receive this way. wParam: the contact handle. lParam:
 * DBEVENTINFO* with all fields set (szModule not NULL; pBlob may be NULL only when
 * cbBlob is 0); the host copies the module name and the blob. Notifies
 * ME_DB_EVENT_ADDED before it returns. Returns the new event's handle, or 0 when the
 * record is refused or the contact is unknown. */
#define MS_DB_EVENT_ADD "DB/Event/Add"

/* ---- Settings a module keeps for a contact --------------------------------------------
 * Bytes a module keeps in the profile under its own name and a setting's name, per
 * contact, across runs of the host (a game in play, say). Each write is committed before
 * the service returns, so what was written survives a crash of the process. */
typedef struct {
  const char* szModule;  /* the module that owns the setting; not NULL */
  const char* szSetting; /* the setting's name; not NULL */
  DWORD cbValue;         /* the number of bytes at pValue */
  BYTE* pValue;          /* write: the value (may be NULL only when cbValue is 0);
                            read: a buffer of cbValue bytes, or NULL with cbValue 0 */
} DBCONTACTSETTING;

/* Writes a setting. wParam: the contact handle (0: the user). lParam: DBCONTACTSETTING*;
 * the host copies the bytes. Returns 0, or 1 when the record is refused or the profile
 * could not be written. */
#define MS_DB_CONTACT_WRITESETTING "DB/Contact/WriteSetting"

/* Reads a setting. wParam: the contact handle. lParam: DBCONTACTSETTING*; copies at most
 * cbValue bytes of the value into pValue and sets cbValue to the number copied. Returns
 * the value's whole size (call again with a larger buffer when it is more than was
 * copied), or -1 when the contact has no such setting or the record is refused. */
#define MS_DB_CONTACT_GETSETTING "DB/Contact/GetSetting"

/* Removes a setting. wParam: the contact handle. lParam: DBCONTACTSETTING* (only the two
 * names are read). Returns 0, also when there was none; 1 when refused. */
#define MS_DB_CONTACT_DELETESETTING "DB/Contact/DeleteSetting"

/* ---- Contact list -------------------------------------------------------------------- */

/* A contact's display name. wParam: the contact handle, or 0 for the user's own name.
 * lParam: 0. Returns (as INT_PTR) a pointer to a zero-terminated host-owned string.
 * It stays valid until that name changes (a rename) or the host shuts down, so copy
 * it at once. For an unknown handle it points to the fixed text "(Unknown Contact)".
 * Never returns NULL. */
#define MS_CLIST_GETCONTACTDISPLAYNAME "CList/GetContactDisplayName"

/* One item for the contact menu, passed to MS_CLIST_ADDCONTACTMENUITEM. */
typedef struct {
  int cbSize;            /* sizeof(CLISTMENUITEM); any other value is refused */
  char* pszName;         /* the item's text; '&' marks the access key */
  DWORD flags;           /* reserved, 0 */
  int position;          /* items are offered in ascending position */
  HICON hIcon;           /* the item's icon, owned by the module; may be NULL */
  char* pszService;      /* the service called when the item is chosen */
  char* pszPopupName;    /* a submenu to put the item in, or NULL for the menu itself */
  int popupPosition;     /* the submenu's position */
  DWORD hotKey;          /* reserved, 0 */
  char* pszContactOwner; /* offered only for contacts of this protocol; NULL: for all */
} CLISTMENUITEM;

/* Adds an item to the contact menu. wParam: 0. lParam: CLISTMENUITEM*. The host
 * copies the strings. When the user chooses the item for a contact, the host calls
 * pszService with (the contact handle, 0). Returns the item's handle, or 0 when the
 * record is refused (wrong cbSize, pszName or pszService NULL). */
#define MS_CLIST_ADDCONTACTMENUITEM "CList/AddContactMenuItem"

/* Sets the short status the contact list shows beside a contact, so that the user
 * sees where something waits without opening every window (a game module: whose move
 * it is, or the result). wParam: the contact handle. lParam: a zero-terminated UTF-8
 * text; NULL or "" clears it, and more than MAX_CONTACTSTATUS bytes are cut. The host
 * copies the text; it is shown until it is set again and is not stored across runs.
 * A contact whose modules never set one shows none. Returns 0, or 1 for an unknown
 * contact. */
#define MS_CLIST_SETCONTACTSTATUS "CList/SetContactStatus"
#define MAX_CONTACTSTATUS 63

/* ---- Protocols ----------------------------------------------------------------------- */

/* A call to a protocol service on behalf of a contact. */
typedef struct {
  HANDLE hContact;            /* the contact */
  const char* szProtoService; /* the service without the protocol's name, e.g. PSS_MESSAGE */
  WPARAM wParam;              /* the protocol service's own arguments */
  LPARAM lParam;
} CCSDATA;

/* Calls a protocol service for a contact. wParam: 0. lParam: CCSDATA*. The host
 * finds the contact's protocol, e.g. "ICQ", and calls the service named protocol +
 * szProtoService, e.g. "ICQ/SendMsg", with (0, the CCSDATA pointer). Returns that
 * service's result, or CALLSERVICE_NOTFOUND when lParam is NULL, the contact is
 * unknown or its protocol has no such service. */
#define MS_PROTO_CALLCONTACTSERVICE "Proto/CallContactService"

/* Protocol service: send an instant message. Reached through
 * MS_PROTO_CALLCONTACTSERVICE; the CCSDATA's wParam holds flags (0) and its lParam
 * the message text (const char*, zero-terminated, read during the call). The
 * protocol delivers the text as one message, whole and in order, and stores it as
 * an event of the contact with DBEF_SENT. Returns a non-zero message number when
 * the message was handed to the network, 0 when it could not be sent. */
#define PSS_MESSAGE "/SendMsg"

/* Hook. Messages between the user and a contact were lost for good: the side that
 * sent them was asked for them and no longer had them, and the messages after them
 * go on without them. wParam: the contact handle. lParam: DBEF_SENT when the lost
 * messages were the user's own (the contact never got them), 0 when they were the
 * contact's. Notified on the user-interface thread, once on each side for each loss.
 * A game module brings its game back in step with the contact's. */
#define ME_PROTO_MESSAGESLOST "Proto/MessagesLost"

/* Hook. Whether the contact's game module speaks this module's game protocol changed.
 * wParam: the contact handle. lParam: PEERGAME_OTHERVERSION when the only clients of the
 * contact that run the game speak another version of its protocol (their game messages
 * cannot be read here, nor ours there), PEERGAME_SAMEVERSION when a client of the
 * contact speaking this version came online after one of another version was told.
 * Notified on the user-interface thread, once for each such change; nothing is told
 * of contacts whose clients never ran another version. */
#define ME_PROTO_PEERGAME "Proto/PeerGame"
#define PEERGAME_SAMEVERSION 0
#define PEERGAME_OTHERVERSION 1

/* ---- Message window ------------------------------------------------------------------
 * A service that a module creates (it may be absent): open the message window of a
 * contact. wParam: the contact handle. lParam: unused. Returns 0. */
#define MS_SRMSG_INVOKE "SRMsg/Invoke"

/* ---- Module exports -------------------------------------------------------------------
 * The three functions every module exports with these names and C linkage. The host
 * loads a module, calls MirandaPluginInfo(the host's version) and checks the record,
 * then calls Load(the PLUGINLINK). At shutdown it calls Unload and then closes the
 * module (the module's static objects are destroyed then); every host service stays
 * valid until the module is closed. Load and Unload return 0 on success; a non-zero
 * Load makes the host close the module without calling Unload. */
#if defined(__GNUC__) || defined(__clang__)
#define TESSARO_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define TESSARO_PLUGIN_EXPORT
#endif

TESSARO_PLUGIN_EXPORT PLUGININFO* MirandaPluginInfo(DWORD mirandaVersion);
TESSARO_PLUGIN_EXPORT int Load(PLUGINLINK* link);
TESSARO_PLUGIN_EXPORT int Unload(void);

/* The same functions as the host looks them up. */
typedef PLUGININFO* (*MIRANDAPLUGININFO_FN)(DWORD mirandaVersion);
typedef int (*LOAD_FN)(PLUGINLINK* link);
typedef int (*UNLOAD_FN)(void);

/* ---- Record sizes on the original 32-bit platform ------------------------------------ */
#if UINTPTR_MAX == 0xFFFFFFFF
#ifdef __cplusplus
#define TESSARO_SDK_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define TESSARO_SDK_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
TESSARO_SDK_STATIC_ASSERT(sizeof(PLUGININFO) == 40, "PLUGININFO must be 40 bytes");
TESSARO_SDK_STATIC_ASSERT(sizeof(DBEVENTINFO) == 28, "DBEVENTINFO must be 28 bytes");
TESSARO_SDK_STATIC_ASSERT(sizeof(CLISTMENUITEM) == 40, "CLISTMENUITEM must be 40 bytes");
#undef TESSARO_SDK_STATIC_ASSERT
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TESSARO_SDK_PLUGIN_API_H_ */
