#include <gtest/gtest.h>

#include "windows/overlayroute.h"
#include "windows/popupedge.h"

using namespace qv;

TEST(RawStrings, RoutesAndEdgesParseOnlyTheirExactStrings)
{
    for (const auto route : {OverlayRoute::all, OverlayRoute::clipboard, OverlayRoute::shelf})
        EXPECT_EQ(overlayRouteFromRaw(rawValue(route)), route);
    EXPECT_EQ(rawValue(OverlayRoute::clipboard), "clipboard");
    for (const char *bad : {"All", "", " all", "shelves"})
        EXPECT_EQ(overlayRouteFromRaw(bad), std::nullopt) << bad;

    QStringList edges;
    for (const auto edge : allPopupEdges()) {
        edges.append(rawValue(edge));
        EXPECT_EQ(popupEdgeFromRaw(rawValue(edge)), edge);
    }
    EXPECT_EQ(edges, QStringList({"top", "bottom", "leading", "trailing"}));
    for (const char *bad : {"left", "right", "Bottom", ""})
        EXPECT_EQ(popupEdgeFromRaw(bad), std::nullopt) << bad;
}
