#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

#include "core/itemthumbnail.h"

namespace qv {

// One entry of the clipboard history. Made by ClipboardManager, read by the views. Two items are the
// same item exactly when their ids are equal.
struct ClipboardItem
{
    QUuid id;
    // What the views show: the text, or its mask when it is sensitive and masking was on at capture;
    // an image's title ("Image • 1920×1080"); a copied non-image file's name.
    QString text;
    // When the item was made (before it waited out the quiet period).
    QDateTime date;
    bool isImage = false;
    // Image items: the cached copy inside the clipboard image folder.
    QUrl imageURL;
    // Image items: at most 320 pixels on the longer side, kept as PNG and decoded while a view
    // shows it.
    ItemThumbnail thumbnail;
    // Image items: the full image's pixel size, each side at least 1.
    std::optional<QSize> imageSize;
    // "This Mac" for everything copied on this machine.
    QString deviceSource;
    // Text items: the classifier's answer, whether or not masking was on.
    bool isSensitive = false;
    // The unmasked text, present only while `text` holds a mask.
    std::optional<QString> rawText;

    // The text the user actually copied (what copy back writes).
    QString realText() const { return rawText.value_or(text); }

    bool operator==(const ClipboardItem &other) const { return id == other.id; }
};

} // namespace qv

Q_DECLARE_METATYPE(qv::ClipboardItem)
