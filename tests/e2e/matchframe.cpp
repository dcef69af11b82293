// Tells at which frame counters the renderer paints exactly what a screenshot shows. The program's
// counter cannot be read from outside, so the end-to-end tests search a range of it instead.
//
//   e2e_matchframe SHOT.png FIRST LAST WxH+X+Y:HBARS,VBARS,SCANRATE,BARSIZE...
//
// Prints, one a line, every counter from FIRST to LAST at which RenderBars on an image of each
// rectangle's size, with that rectangle's settings, equals the screenshot's pixels in the rectangle
// exactly (all rectangles at the same counter, as the windows of one wash share it). Exit status:
// 0 at least one counter matches, 1 none does (what the screenshot shows goes to standard error),
// 2 the arguments or the screenshot are unusable.
#include "wash/renderbars.h"

#include <QImage>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Target {
    QRect rect;
    int32_t hBars = 0;
    int32_t vBars = 0;
    int32_t scanRate = 0;
    int32_t barSize = 0;
    QImage shot; // the screenshot's pixels in `rect`, RGB32
};

std::optional<Target> ParseTarget(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d+)x(\d+)\+(\d+)\+(\d+):(-?\d+),(-?\d+),(-?\d+),(-?\d+)$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = true;
    const auto number = [&](int group) {
        bool good = false;
        const int value = m.captured(group).toInt(&good);
        ok = ok && good;
        return value;
    };
    Target t;
    t.rect = QRect(number(3), number(4), number(1), number(2));
    t.hBars = number(5);
    t.vBars = number(6);
    t.scanRate = number(7);
    t.barSize = number(8);
    if (!ok || t.rect.isEmpty())
        return std::nullopt;
    return t;
}

// Only black and white are bar colours; anything else never matches. Alpha is ignored.
constexpr QRgb ColourMask = 0x00ffffff;
constexpr QRgb White = 0x00ffffff;

bool SameFrame(const QImage &a, const QImage &b)
{
    for (int y = 0; y < a.height(); ++y) {
        const auto *rowA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rowB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((rowA[x] & ColourMask) != (rowB[x] & ColourMask))
                return false;
        }
    }
    return true;
}

std::vector<bool> Membership(const QList<std::pair<int32_t, int32_t>> &spans, int extent)
{
    std::vector<bool> inside(static_cast<size_t>(extent), false);
    for (const auto &[from, to] : spans) {
        for (int32_t i = from; i < to; ++i)
            inside[static_cast<size_t>(i)] = true;
    }
    return inside;
}

// A cheap necessary condition before the full comparison: the first, middle and last rows and
// columns agree with the frame's white columns and rows. Rendering every counter of a wide range
// on a whole monitor would otherwise dominate the tests' time, most of all under sanitizers.
bool SamplesAgree(const Target &t, int64_t frame)
{
    const int w = t.rect.width();
    const int h = t.rect.height();
    const BarSpans spans = ComputeBarSpans(w, h, t.hBars, t.vBars, t.scanRate, t.barSize, frame);
    const std::vector<bool> columns = Membership(spans.columns, w);
    const std::vector<bool> rows = Membership(spans.rows, h);
    const auto agrees = [&](int x, int y) {
        const bool white = columns[static_cast<size_t>(x)] || rows[static_cast<size_t>(y)];
        return ((t.shot.pixel(x, y) & ColourMask) == White) == white;
    };
    for (const int y : {0, h / 2, h - 1}) {
        for (int x = 0; x < w; ++x) {
            if (!agrees(x, y))
                return false;
        }
    }
    for (const int x : {0, w / 2, w - 1}) {
        for (int y = 0; y < h; ++y) {
            if (!agrees(x, y))
                return false;
        }
    }
    return true;
}

bool Matches(const Target &t, int64_t frame)
{
    if (!SamplesAgree(t, frame))
        return false;
    QImage rendered(t.rect.size(), QImage::Format_RGB32);
    RenderBars(rendered, t.hBars, t.vBars, t.scanRate, t.barSize, frame);
    return SameFrame(rendered, t.shot);
}

QString Spans(const std::vector<bool> &white)
{
    QStringList parts;
    for (size_t i = 0; i < white.size();) {
        if (!white[i]) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < white.size() && white[end])
            ++end;
        parts.append(QStringLiteral("%1-%2").arg(i).arg(end - 1));
        i = end;
    }
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QLatin1Char(' '));
}

// What the screenshot shows in a rectangle: its colours, and its wholly white columns and rows.
void Describe(const Target &t)
{
    const int w = t.rect.width();
    const int h = t.rect.height();
    std::vector<bool> columns(static_cast<size_t>(w), true);
    std::vector<bool> rows(static_cast<size_t>(h), true);
    qsizetype black = 0;
    qsizetype white = 0;
    qsizetype other = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb c = t.shot.pixel(x, y) & ColourMask;
            const bool isWhite = c == White;
            black += c == 0;
            white += isWhite;
            other += c != 0 && !isWhite;
            columns[static_cast<size_t>(x)] = columns[static_cast<size_t>(x)] && isWhite;
            rows[static_cast<size_t>(y)] = rows[static_cast<size_t>(y)] && isWhite;
        }
    }
    std::fprintf(stderr,
                 "  %dx%d+%d+%d shows %lld black, %lld white, %lld other pixels\n"
                 "    white columns: %s\n    white rows: %s\n",
                 w, h, t.rect.x(), t.rect.y(), static_cast<long long>(black),
                 static_cast<long long>(white), static_cast<long long>(other),
                 qPrintable(Spans(columns)), qPrintable(Spans(rows)));
}

int Usage()
{
    std::fputs(
        "usage: e2e_matchframe SHOT.png FIRST LAST WxH+X+Y:HBARS,VBARS,SCANRATE,BARSIZE...\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 5)
        return Usage();
    const QImage shot =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) {
        std::fprintf(stderr, "e2e_matchframe: cannot read %s\n", argv[1]);
        return 2;
    }
    bool firstOk = false;
    bool lastOk = false;
    const int64_t first = QByteArray(argv[2]).toLongLong(&firstOk);
    const int64_t last = QByteArray(argv[3]).toLongLong(&lastOk);
    if (!firstOk || !lastOk || first > last)
        return Usage();

    QList<Target> targets;
    for (int i = 4; i < argc; ++i) {
        std::optional<Target> t = ParseTarget(QString::fromLocal8Bit(argv[i]));
        if (!t)
            return Usage();
        if (!shot.rect().contains(t->rect)) {
            std::fprintf(stderr, "e2e_matchframe: %s lies outside the %dx%d screenshot\n", argv[i],
                         shot.width(), shot.height());
            return 2;
        }
        t->shot = shot.copy(t->rect);
        targets.append(*t);
    }

    bool any = false;
    for (int64_t frame = first; frame <= last; ++frame) {
        bool all = true;
        for (const Target &t : targets) {
            if (!Matches(t, frame)) {
                all = false;
                break;
            }
        }
        if (all) {
            std::printf("%lld\n", static_cast<long long>(frame));
            any = true;
        }
    }
    if (any)
        return 0;

    std::fprintf(stderr, "e2e_matchframe: no counter from %lld to %lld matches %s\n",
                 static_cast<long long>(first), static_cast<long long>(last), argv[1]);
    for (const Target &t : targets) {
        qsizetype alone = 0;
        for (int64_t frame = first; frame <= last; ++frame)
            alone += Matches(t, frame);
        std::fprintf(stderr, "  %dx%d+%d+%d with H%d V%d S%d B%d: %lld counters match alone\n",
                     t.rect.width(), t.rect.height(), t.rect.x(), t.rect.y(), t.hBars, t.vBars,
                     t.scanRate, t.barSize, static_cast<long long>(alone));
        Describe(t);
    }
    return 1;
}
