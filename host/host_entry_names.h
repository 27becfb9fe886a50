#pragma once

namespace glomera::host {

constexpr int kHostEntryCount = 150;

// Names of every host entry point, in lookup order.
extern const char* const kHostEntryNames[kHostEntryCount];

// Positions in kHostEntryNames of the fifteen entries the plug-in calls.
enum HostEntry : int {
    kGetVersion = 0,
    kShowLogTab = 4,
    kLogText = 5,
    kMessageBox = 6,
    kYesNoMessageBox = 7,
    kGetOpenFileName = 11,
    kGetSaveFileName = 12,
    kGetDocumentType = 17,
    kGetIdOfCurrentDocument = 19,
    kGetMainHeaderOfCurrentVmr = 41,
    kLoadVois = 129,
    kGetStringParameter = 137,
    kGetIntParameter = 138,
    kGetFloatParameter = 139,
    kSetStringParameter = 140,
};

// The fifteen used entries, in lookup order.
constexpr HostEntry kUsedHostEntries[] = {
    kGetVersion,
    kShowLogTab,
    kLogText,
    kMessageBox,
    kYesNoMessageBox,
    kGetOpenFileName,
    kGetSaveFileName,
    kGetDocumentType,
    kGetIdOfCurrentDocument,
    kGetMainHeaderOfCurrentVmr,
    kLoadVois,
    kGetStringParameter,
    kGetIntParameter,
    kGetFloatParameter,
    kSetStringParameter,
};

}  // namespace glomera::host
