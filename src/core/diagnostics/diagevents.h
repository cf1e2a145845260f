#pragma once

#include <QString>

namespace qv {

// Names of every diagnostics event the program records; details are formed by the recorder.
namespace DiagEvents {
inline const QString axScanBegin = QStringLiteral("ax_scan_begin");       // "fetchAll=true|false"
inline const QString axScanEnd = QStringLiteral("ax_scan_end");           // "fetchAll=…, 12.3ms"
inline const QString hotkeyPrefix = QStringLiteral("hotkey_");            // + route; "keyCode=N"
inline const QString overlayShow = QStringLiteral("overlay_show");        // "route=all"
inline const QString overlayHide = QStringLiteral("overlay_hide");        // ""
inline const QString clipboardChange = QStringLiteral("clipboard_change"); // "type=text, pending=N"
inline const QString clipboardFlush = QStringLiteral("clipboard_flush");   // "flushed=N, total=M"
inline const QString clipboardSnapshotStatus = QStringLiteral("clipboard_snapshot_status");
inline const QString watchdogStall = QStringLiteral("watchdog_stall");     // "stall>=1.5s"
inline const QString shelfIntakeError = QStringLiteral("shelf_intake_error"); // "copy failed: name"
inline const QString shelfThumbnailFailed = QStringLiteral("shelf_thumbnail_failed"); // file name
inline const QString shelfLinkFetch = QStringLiteral("shelf_link_fetch");       // "ok|error|timeout"
inline const QString shelfOcrTimeout = QStringLiteral("shelf_ocr_timeout");     // "job=N"
inline const QString shelfDropCut = QStringLiteral("shelf_drop_cut");           // "taken=N"
inline const QString exportError = QStringLiteral("export_error");         // redacted description
inline const QString clipboardImageNotKept = QStringLiteral("clipboard_image_not_kept"); // the cause
inline const QString clipboardImageRefused = QStringLiteral("clipboard_image_refused");  // the cause
inline const QString shortcutNotUsed = QStringLiteral("shortcut_not_used"); // "clipboardFlags=8: no modifier"
inline const QString folderRefused = QStringLiteral("folder_refused");     // "QuorvantisShelf: it is a ..."
} // namespace DiagEvents

} // namespace qv
