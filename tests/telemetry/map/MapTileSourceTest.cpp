// Which tiles the map asks for, as named in the viewer's settings file, and how the choice
// travels to the page.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QUrlQuery>
#include <fstream>
#include <string>

#include "telemetry/CMapView.h"

namespace {

struct TileRow {
    const char* name;
    const char* config;  // content of the settings file; null for no file at all
    MapTileSource expected;
};

MapTileSource Default() {
    return CMapView::DefaultTileSource();
}

MapTileSource Custom(const char* url, const char* attribution = "") {
    return MapTileSource{url, attribution, false};
}

MapTileSource DefaultWith(const char* attribution) {
    MapTileSource source = Default();
    source.attribution = attribution;
    return source;
}

}  // namespace

TEST(MapTileSource, DefaultIsOpenStreetMapTurnedDark) {
    const MapTileSource source = Default();
    EXPECT_EQ(source.url, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    EXPECT_EQ(source.attribution, "\u00a9 OpenStreetMap contributors");
    EXPECT_TRUE(source.invert);
}

TEST(MapTileSource, ReadFromTheSettingsFile) {
    const TileRow rows[] = {
        {"no file", nullptr, Default()},
        {"no key", "[config]\r\nvolume=50\r\n", Default()},
        {"own server", "[config]\r\nmap_tiles=https://tiles.example.org/{z}/{x}/{y}.png\r\n",
         Custom("https://tiles.example.org/{z}/{x}/{y}.png")},
        {"own server with credit and subdomains",
         "[Config]\nMAP_TILES = http://{s}.tiles.example.org/{z}/{x}/{y}.png?key=1&style=night\n"
         "map_attribution=Tiles by Example\n",
         Custom("http://{s}.tiles.example.org/{z}/{x}/{y}.png?key=1&style=night",
                "Tiles by Example")},
        {"upper-case scheme", "[config]\nmap_tiles=HTTPS://t.example/{z}/{x}/{y}\n",
         Custom("HTTPS://t.example/{z}/{x}/{y}")},
        {"the default named explicitly keeps its dark look",
         "[config]\nmap_tiles=https://tile.openstreetmap.org/{z}/{x}/{y}.png\n", Default()},
        {"credit alone", "[config]\nmap_attribution=My credit\n", DefaultWith("My credit")},
        {"not a web address", "[config]\nmap_tiles=file:///tmp/{z}/{x}/{y}.png\n", Default()},
        {"script address", "[config]\nmap_tiles=javascript:alert(1)//{z}{x}{y}\n", Default()},
        {"no tile numbers", "[config]\nmap_tiles=https://tiles.example.org/tile.png\n", Default()},
        {"blank inside", "[config]\nmap_tiles=https://tiles.example.org/{z} /{x}/{y}.png\n",
         Default()},
        {"other section", "[map]\nmap_tiles=https://tiles.example.org/{z}/{x}/{y}.png\n",
         Default()},
    };
    for (const TileRow& row : rows) {
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const std::string path = folder.filePath(QStringLiteral("config.cfg")).toStdString();
        if (row.config) std::ofstream(path, std::ios::binary) << row.config;
        EXPECT_EQ(CMapView::ReadTileSource(path.c_str()), row.expected) << row.name;
    }
}

TEST(MapTileSource, PageAddressCarriesTheSourceUnchanged) {
    const MapTileSource source{"https://{s}.example.org/{z}/{x}/{y}.png?a=1&b=c+d#x",
                               "Tiles & data \u00a9 Example", false};
    const QUrl url = CMapView::PageUrl(source);
    EXPECT_EQ(url.scheme(), QStringLiteral("qrc"));
    EXPECT_EQ(url.path(), QStringLiteral("/map/index.html"));
    EXPECT_TRUE(url.fragment().isEmpty());
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue("tiles", QUrl::FullyDecoded).toStdString(), source.url);
    EXPECT_EQ(query.queryItemValue("attribution", QUrl::FullyDecoded).toStdString(),
              source.attribution);
    EXPECT_EQ(query.queryItemValue("invert"), QStringLiteral("0"));
    EXPECT_EQ(QUrlQuery(CMapView::PageUrl(Default())).queryItemValue("invert"),
              QStringLiteral("1"));
}
