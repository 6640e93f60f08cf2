#ifndef BRX_RESOURCES_RESOURCE_IDS_H
#define BRX_RESOURCES_RESOURCE_IDS_H
// Resource and control ids shared by patch.rc and the program. Macros, not
// constants, because the resource compiler reads this file too.

#define BRX_DIALOG_PROGRESS 101
#define BRX_ICON_PROGRAM 102

// Controls of the progress window; its button is IDOK (1).
#define BRX_CONTROL_STATUS 1000
#define BRX_CONTROL_SECOND_LINE 1001

#endif
