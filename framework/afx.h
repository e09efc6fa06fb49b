// The window framework in one include: what a plug-in or the host needs to
// make windows and dialogs, handle messages, draw, and show message boxes and
// file dialogs, with the platform's names and values.
#pragma once

#include "framework/app.h"
#include "framework/common_dialogs.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "framework/menu.h"
#include "framework/message_map.h"
#include "framework/platform.h"
#include "framework/win_const.h"
#include "framework/win_types.h"
#include "framework/wnd.h"
