#pragma once
// Every text the installer shows, in Windows-1251 bytes as shown.

namespace brx {

inline constexpr char kUsageText[] = "Usage: PATCH.EXE resource_nm [output_nm MAKEEXE]";
inline constexpr char kBuilderKeyword[] = "MAKEEXE";
inline constexpr char kButtonTextOk[] = "OK";
inline constexpr char kButtonTextInitial[] = "Done";

// "The program to be updated was not found on your computer!"
inline constexpr char kTargetNotFoundText[] =
    "\xCE\xF0\xE8\xE3\xE8\xED\xE0\xEB\xFC\xED\xE0\xFF \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 "
    "\xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xE0 \xED\xE0 \xE2\xE0\xF8\xE5\xEC "
    "\xEA\xEE\xEC\xEF\xFC\xFE\xF2\xE5\xF0\xE5!\r\n";

// "Error while getting key %s from the Windows registry"
inline constexpr char kRegistryKeyErrorFormat[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xEF\xEE\xEB\xF3\xF7\xE5\xED\xE8\xE8 "
    "\xEA\xEB\xFE\xF7\xE0 %s \xE8\xE7 Windows registry\r\n";

// "Error while reading from the Windows registry (%s)"
inline constexpr char kRegistryReadErrorFormat[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xF7\xF2\xE5\xED\xE8\xE8 \xE8\xE7 Windows registry "
    "(%s)\r\n";

// "The current or a later update has been found! Continue the installation?"
inline constexpr char kLevelWarningText[] =
    "\xCE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED\xEE \xF2\xE5\xEA\xF3\xF9\xE5\xE5 \xE8\xEB\xE8 "
    "\xE1\xEE\xEB\xE5\xE5 \xEF\xEE\xE7\xE4\xED\xE5\xE5 "
    "\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5!\r\n\xCF\xF0\xEE\xE4\xEE\xEB\xE6\xE8\xF2\xFC "
    "\xF3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xF3?\r\n";

// "!"
inline constexpr char kLevelWarningCaption[] = "!";

// "Updating file %s...."
inline constexpr char kUpdatingFileFormat[] =
    "\xCE\xE1\xED\xEE\xE2\xEB\xFF\xE5\xEC \xF4\xE0\xE9\xEB %s....";

// "Update completed successfully! (path)"
inline constexpr char kFileUpdatedFormat[] =
    "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5 \xF3\xF1\xEF\xE5\xF8\xED\xEE "
    "\xE7\xE0\xE2\xE5\xF0\xF8\xE5\xED\xEE!\r\n(%s)\r\n";

// "Error while updating the file! (path)"
inline constexpr char kFileFailedFormat[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xE2 \xEF\xF0\xEE\xF6\xE5\xF1\xF1\xE5 "
    "\xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF \xF4\xE0\xE9\xEB\xE0!\r\n(%s)\r\n";

// "Error while executing external programs!"
inline constexpr char kCommandsFailedText[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xE8\xF1\xEF\xEE\xEB\xED\xE5\xED\xE8\xE8 "
    "\xE2\xED\xE5\xF8\xED\xE8\xF5 \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC!\r\n";

// "!"
inline constexpr char kCommandsFailedCaption[] = "!";

// "The update was installed successfully!"
inline constexpr char kUpdateInstalledText[] =
    "\xCE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xE5 \xF3\xF1\xEF\xE5\xF8\xED\xEE "
    "\xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED\xEE!\r\n";

inline constexpr char kCommandLineProgramName[] = "DUMMY ";
inline constexpr char kCommandErrorFileName[] = "brx_patch_apply_err.txt";
inline constexpr char kBackupSuffix[] = ".bak";

}  // namespace brx
