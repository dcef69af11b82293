// The committed pictures and icons, read byte by byte from the source tree.

#include <gtest/gtest.h>

#include <QImage>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadImage(const std::string &name)
{
    std::ifstream in(std::string(GSW_IMAGES_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Little-endian fields; at() makes a truncated file fail the test instead of reading past it.
uint32_t U16(const Bytes &b, size_t at)
{
    return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8;
}
uint32_t U32(const Bytes &b, size_t at)
{
    return U16(b, at) | U16(b, at + 2) << 16;
}
int32_t I32(const Bytes &b, size_t at)
{
    return static_cast<int32_t>(U32(b, at));
}
uint32_t BigU32(const Bytes &b, size_t at)
{
    return uint32_t{b.at(at)} << 24 | uint32_t{b.at(at + 1)} << 16 | uint32_t{b.at(at + 2)} << 8 |
           uint32_t{b.at(at + 3)};
}

size_t Stride(int width, int bits)
{
    return (static_cast<size_t>(width) * size_t(bits) + 31) / 32 * 4;
}

struct Rgb {
    int r, g, b;
    friend bool operator==(const Rgb &, const Rgb &) = default;
    friend std::ostream &operator<<(std::ostream &os, const Rgb &c)
    {
        return os << '(' << c.r << ", " << c.g << ", " << c.b << ')';
    }
};
constexpr Rgb KeyBlue{0, 0, 255};

// A 24-bit bottom-up device-independent bitmap, addressed from the top like the screen.
class Bitmap {
public:
    explicit Bitmap(const std::string &name)
        : bytes(ReadImage(name))
    {
    }
    int Width() const { return I32(bytes, 18); }
    int Height() const { return I32(bytes, 22); }
    Rgb Pixel(int x, int y) const
    {
        const size_t at =
            U32(bytes, 10) + size_t(Height() - 1 - y) * Stride(Width(), 24) + size_t(x) * 3;
        return {bytes.at(at + 2), bytes.at(at + 1), bytes.at(at)};
    }
    bool Blue(int x, int y) const { return Pixel(x, y) == KeyBlue; }

    const Bytes bytes;
};

// Pixels of one kind (blue or not) that a four-way flood from the seeds does not reach.
int Unreached(const Bitmap &bmp, bool blue, const std::vector<std::pair<int, int>> &seeds)
{
    const int w = bmp.Width(), h = bmp.Height();
    std::vector<char> seen(size_t(w) * size_t(h), 0);
    std::vector<std::pair<int, int>> todo;
    auto visit = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h || bmp.Blue(x, y) != blue)
            return;
        char &s = seen[size_t(y) * size_t(w) + size_t(x)];
        if (!s) {
            s = 1;
            todo.emplace_back(x, y);
        }
    };
    for (const auto &[x, y] : seeds)
        visit(x, y);
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        visit(x - 1, y);
        visit(x + 1, y);
        visit(x, y - 1);
        visit(x, y + 1);
    }
    int unreached = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            unreached += bmp.Blue(x, y) == blue && !seen[size_t(y) * size_t(w) + size_t(x)];
    return unreached;
}

} // namespace

// ---------------------------------------------------------------------------------------
// The two monitor pictures.

struct PictureRow {
    const char *name, *file;
    int width, height;
};

class Pictures : public testing::TestWithParam<PictureRow> {};

TEST_P(Pictures, HeaderIsA24BitBottomUpDib)
{
    const PictureRow &row = GetParam();
    const Bitmap bmp(row.file);
    const Bytes &b = bmp.bytes;
    const size_t pixelBytes = Stride(row.width, 24) * size_t(row.height);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 6), 0u);
    EXPECT_EQ(U32(b, 10), 54u) << "no palette between the headers and the pixels";
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(I32(b, 18), row.width);
    EXPECT_EQ(I32(b, 22), row.height) << "a positive height stores the rows bottom-up";
    EXPECT_EQ(U16(b, 26), 1u);
    EXPECT_EQ(U16(b, 28), 24u);
    EXPECT_EQ(U32(b, 30), 0u) << "BI_RGB";
    EXPECT_EQ(U32(b, 34), pixelBytes);
    EXPECT_EQ(I32(b, 38), 2834);
    EXPECT_EQ(I32(b, 42), 2834);
    EXPECT_EQ(U32(b, 46), 0u);
    EXPECT_EQ(b.size(), 54 + pixelBytes);
}

TEST_P(Pictures, CornersAreTheTransparentBlue)
{
    const PictureRow &row = GetParam();
    const Bitmap bmp(row.file);
    ASSERT_EQ(bmp.bytes.size(), 54 + Stride(row.width, 24) * size_t(row.height));
    const int r = row.width - 1, b = row.height - 1;
    EXPECT_EQ(bmp.Pixel(0, b), KeyBlue) << "bottom-left names the transparent colour";
    EXPECT_EQ(bmp.Pixel(0, 0), KeyBlue);
    EXPECT_EQ(bmp.Pixel(r, 0), KeyBlue);
    EXPECT_EQ(bmp.Pixel(r, b), KeyBlue);
}

TEST_P(Pictures, BlueOnlyOutsideOneConnectedMonitor)
{
    const PictureRow &row = GetParam();
    const Bitmap bmp(row.file);
    ASSERT_EQ(bmp.bytes.size(), 54 + Stride(row.width, 24) * size_t(row.height));
    std::vector<std::pair<int, int>> border;
    for (int x = 0; x < row.width; ++x)
        border.insert(border.end(), {{x, 0}, {x, row.height - 1}});
    for (int y = 0; y < row.height; ++y)
        border.insert(border.end(), {{0, y}, {row.width - 1, y}});
    EXPECT_EQ(Unreached(bmp, true, border), 0) << "blue pixels enclosed by the monitor";
    EXPECT_EQ(Unreached(bmp, false, {{row.width / 2, row.height / 2}}), 0)
        << "monitor pixels apart from the monitor";

    // The monitor reaches every edge: panel at the top and sides, foot at the bottom.
    const int mid = row.width / 2;
    EXPECT_FALSE(bmp.Blue(mid, 0));
    EXPECT_FALSE(bmp.Blue(mid, row.height - 1));
    EXPECT_FALSE(bmp.Blue(0, row.height / 3));
    EXPECT_FALSE(bmp.Blue(row.width - 1, row.height / 3));
}

INSTANTIATE_TEST_SUITE_P(Artwork, Pictures,
                         testing::Values(PictureRow{"Large", "monitor_wide.bmp", 212, 150},
                                         PictureRow{"Thumbnail", "monitor_tn_wide.bmp", 106, 75}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST(MonitorPicture, ScreenAreaAndItsFrame)
{
    const Bitmap bmp("monitor_wide.bmp");
    ASSERT_EQ(bmp.bytes.size(), 54 + Stride(212, 24) * 150u);
    // The preview lies exactly on 192 x 108 at 10, 10; the bare screen shows the logo.
    int dark = 0, bright = 0;
    for (int y = 10; y < 118; ++y)
        for (int x = 10; x < 202; ++x) {
            const Rgb c = bmp.Pixel(x, y);
            ASSERT_NE(c, KeyBlue) << x << ", " << y;
            dark += c.r + c.g + c.b < 3 * 40;
            bright += c.r + c.g + c.b > 3 * 220;
        }
    EXPECT_GT(dark, 192 * 108 / 2);
    EXPECT_GT(bright, 200);

    // The ring just outside the screen is grey bezel.
    std::vector<std::pair<int, int>> ring;
    for (int x = 9; x <= 202; ++x)
        ring.insert(ring.end(), {{x, 9}, {x, 118}});
    for (int y = 9; y <= 118; ++y)
        ring.insert(ring.end(), {{9, y}, {202, y}});
    for (const auto &[x, y] : ring) {
        const Rgb c = bmp.Pixel(x, y);
        EXPECT_LE(std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}), 16)
            << x << ", " << y << " is " << c;
    }

    // Lower bezel, neck and foot fill rows 118 to 149 down the middle.
    for (int y = 118; y < 150; ++y)
        EXPECT_FALSE(bmp.Blue(106, y)) << y;
}

TEST(MonitorPicture, ThumbnailIsTheLargePictureHalved)
{
    const Bitmap large("monitor_wide.bmp"), small("monitor_tn_wide.bmp");
    ASSERT_EQ(large.bytes.size(), 54 + Stride(212, 24) * 150u);
    ASSERT_EQ(small.bytes.size(), 54 + Stride(106, 24) * 75u);
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 106; ++x) {
            int inside = 0, r = 0, g = 0, b = 0;
            for (int d = 0; d < 4; ++d) {
                const Rgb c = large.Pixel(2 * x + d % 2, 2 * y + d / 2);
                if (c != KeyBlue) {
                    ++inside;
                    r += c.r;
                    g += c.g;
                    b += c.b;
                }
            }
            const Rgb t = small.Pixel(x, y);
            ASSERT_EQ(t == KeyBlue, inside < 2) << x << ", " << y;
            if (inside >= 2) {
                EXPECT_NEAR(t.r * inside, r, 2 * inside) << x << ", " << y;
                EXPECT_NEAR(t.g * inside, g, 2 * inside) << x << ", " << y;
                EXPECT_NEAR(t.b * inside, b, 2 * inside) << x << ", " << y;
            }
        }
}

// ---------------------------------------------------------------------------------------
// The program icon.

namespace {

constexpr unsigned char PngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// The PNG's signature and header: 8-bit RGBA of the given size.
void ExpectRgbaPng(const Bytes &b, size_t at, uint32_t size)
{
    ASSERT_GE(b.size(), at + 33);
    EXPECT_TRUE(std::equal(std::begin(PngSignature), std::end(PngSignature), b.begin() + long(at)));
    EXPECT_EQ(BigU32(b, at + 8), 13u);
    EXPECT_EQ(std::string(b.begin() + long(at) + 12, b.begin() + long(at) + 16), "IHDR");
    EXPECT_EQ(BigU32(b, at + 16), size);
    EXPECT_EQ(BigU32(b, at + 20), size);
    EXPECT_EQ(b[at + 24], 8) << "bit depth";
    EXPECT_EQ(b[at + 25], 6) << "colour type RGBA";
}

QImage LoadIconPng(int size)
{
    const std::string name =
        "icons/" + std::to_string(size) + "x" + std::to_string(size) + "/glowsweep-wizard.png";
    return QImage(QString::fromStdString(std::string(GSW_IMAGES_DIR) + "/" + name))
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class IconPngs : public testing::TestWithParam<int> {};

TEST_P(IconPngs, RgbaMonitorOnTransparentGround)
{
    const int n = GetParam();
    const std::string name =
        "icons/" + std::to_string(n) + "x" + std::to_string(n) + "/glowsweep-wizard.png";
    ExpectRgbaPng(ReadImage(name), 0, uint32_t(n));

    const QImage img = LoadIconPng(n);
    ASSERT_EQ(img.size(), QSize(n, n));
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(img.pixel(n - 1, n - 1)), 0);
    EXPECT_EQ(qAlpha(img.pixel(n / 2, n / 2)), 255);
    bool bar = false;
    for (int x = 0; x < n; ++x)
        bar = bar || img.pixel(x, n / 3) == qRgb(255, 255, 255);
    EXPECT_TRUE(bar) << "the white bar across the screen";
}

INSTANTIATE_TEST_SUITE_P(Artwork, IconPngs, testing::Values(16, 24, 32, 48, 64, 128, 256),
                         [](const auto &row) { return "Size" + std::to_string(row.param); });

TEST(IconSvg, WellFormedSquareSvg)
{
    const Bytes b = ReadImage("icons/scalable/glowsweep-wizard.svg");
    QXmlStreamReader xml(QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size())));
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name().toString().toStdString(), "svg");
    EXPECT_EQ(xml.attributes().value("viewBox").toString().toStdString(), "0 0 16 16");
    while (!xml.atEnd())
        xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
}

struct IcoRow {
    const char *name;
    int size, bits;
};

const IcoRow IcoEntries[] = {{"Size16Bits8", 16, 8},   {"Size32Bits8", 32, 8},
                             {"Size16Bits32", 16, 32}, {"Size32Bits32", 32, 32},
                             {"Size48Bits32", 48, 32}, {"Size256Png", 256, 32}};

TEST(Ico, DirectoryListsSixImagesBackToBack)
{
    const Bytes b = ReadImage("glowsweep-wizard.ico");
    ASSERT_GE(b.size(), 6u + 16u * 6u);
    EXPECT_EQ(U16(b, 0), 0u);
    EXPECT_EQ(U16(b, 2), 1u) << "type icon";
    ASSERT_EQ(U16(b, 4), 6u);
    size_t next = 6 + 16 * 6;
    for (size_t i = 0; i < 6; ++i) {
        const size_t e = 6 + 16 * i;
        SCOPED_TRACE(IcoEntries[i].name);
        EXPECT_EQ(b[e], IcoEntries[i].size % 256);
        EXPECT_EQ(b[e + 1], IcoEntries[i].size % 256);
        EXPECT_EQ(b[e + 3], 0);
        EXPECT_EQ(U16(b, e + 4), 1u);
        EXPECT_EQ(U16(b, e + 6), uint32_t(IcoEntries[i].bits));
        EXPECT_EQ(U32(b, e + 12), next);
        next += U32(b, e + 8);
    }
    EXPECT_EQ(next, b.size());
}

class IcoImages : public testing::TestWithParam<size_t> {};

TEST_P(IcoImages, ImageMatchesItsEntry)
{
    const IcoRow &row = IcoEntries[GetParam()];
    const Bytes b = ReadImage("glowsweep-wizard.ico");
    ASSERT_GE(b.size(), 6u + 16u * 6u);
    const size_t e = 6 + 16 * GetParam();
    const size_t at = U32(b, e + 12), length = U32(b, e + 8);
    ASSERT_LE(at + length, b.size());
    const int n = row.size;
    const QImage png = LoadIconPng(n);
    ASSERT_EQ(png.size(), QSize(n, n));

    if (n == 256) {
        ExpectRgbaPng(b, at, 256);
        return;
    }
    ASSERT_GE(length, 40u);
    EXPECT_EQ(U32(b, at), 40u);
    EXPECT_EQ(I32(b, at + 4), n);
    EXPECT_EQ(I32(b, at + 8), 2 * n) << "colour and mask stacked";
    EXPECT_EQ(U16(b, at + 12), 1u);
    EXPECT_EQ(U16(b, at + 14), uint32_t(row.bits));
    EXPECT_EQ(U32(b, at + 16), 0u);
    const size_t colours = row.bits == 8 ? 256 * 4 : 0;
    const size_t pixels = at + 40 + colours;
    const size_t mask = pixels + Stride(n, row.bits) * size_t(n);
    ASSERT_EQ(length, mask + Stride(n, 1) * size_t(n) - at);

    // Rows are bottom-up; a set mask bit is a transparent pixel.
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const size_t row0 = size_t(n - 1 - y);
            const bool masked = b[mask + row0 * Stride(n, 1) + size_t(x) / 8] & (0x80 >> (x % 8));
            const QRgb want = png.pixel(x, y);
            if (row.bits == 32) {
                const size_t p = pixels + row0 * Stride(n, 32) + size_t(x) * 4;
                EXPECT_EQ(qRgba(b[p + 2], b[p + 1], b[p], b[p + 3]), want) << x << ", " << y;
                EXPECT_EQ(masked, qAlpha(want) == 0) << x << ", " << y;
            } else {
                const size_t c = at + 40 + size_t(b[pixels + row0 * Stride(n, 8) + size_t(x)]) * 4;
                EXPECT_EQ(masked, qAlpha(want) < 128) << x << ", " << y;
                if (masked)
                    EXPECT_EQ((Rgb{b[c + 2], b[c + 1], b[c]}), (Rgb{0, 0, 0}))
                        << "colour under the mask is XORed onto the background";
                else
                    EXPECT_LE(
                        std::max({std::abs(b[c + 2] - qRed(want)),
                                  std::abs(b[c + 1] - qGreen(want)), std::abs(b[c] - qBlue(want))}),
                        8)
                        << "palette colour far from the drawing at " << x << ", " << y;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Artwork, IcoImages, testing::Range(size_t{0}, std::size(IcoEntries)),
                         [](const auto &row) { return std::string(IcoEntries[row.param].name); });
