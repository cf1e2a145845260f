#include "views/items/mediaview.h"

#include "platform/loadablemodule.h"

namespace qv {

QWidget *MediaView::make(QWidget *parent, const QUrl &url, std::function<void(QWidget *)> failed)
{
    static const auto make =
        reinterpret_cast<MakeFunction>(LoadableModule::resolve("quorvantis_media", makeSymbol));
    return make ? make(parent, url, std::move(failed)) : nullptr;
}

} // namespace qv
