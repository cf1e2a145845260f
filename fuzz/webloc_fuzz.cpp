// Web addresses from outside written into the shelf's .webloc files, and read back as any property
// list reader would: the file must be well-formed and give back exactly the address written.
#include <QXmlStreamReader>

#include "fuzzsupport.h"
#include "shelf/fileshelfmanager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QUrl url(qv::fuzz::text(data, size));
    const QByteArray webloc = qv::FileShelfManager::makeWeblocData(url);
    QXmlStreamReader xml(webloc);
    QString key;
    std::optional<QString> address;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("key"))
            key = xml.readElementText();
        else if (xml.name() == QLatin1String("string") && key == QLatin1String("URL"))
            address = xml.readElementText();
    }
    if (xml.hasError() || !address || *address != url.toString(QUrl::FullyEncoded))
        __builtin_trap();
    return 0;
}
