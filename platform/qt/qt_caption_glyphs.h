// A panel's caption kept as glyphs, so that the clock's caption, which changes every
// second, is painted and compared without shaping its text each time.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>

#include <memory>
#include <optional>

#include "ui/geometry.h"

class QPaintDevice;
class QPainter;
class QRect;
class QTextLayout;
class QTextLine;

namespace qt {

// A panel's caption laid out once as a single line, as QPainter::drawText lays out one
// line in a rectangle, and kept as its glyphs and their positions. The clock display
// changes its caption every second: the glyphs say which part of the line changed, and
// painting them shapes no text.
class CaptionLine {
public:
    // Shapes the text.
    CaptionLine(const QString& text, const QFont& font, QPaintDevice* device);
    // A line already set as one run of glyphs.
    CaptionLine(QGlyphRun run, qreal width, qreal height);

    // Lays the text out as a single line, as QPainter::drawText does.
    static QTextLine layOut(QTextLayout& layout);

    qreal width() const { return width_; }
    // The left end of the line, and its top, in the panel's rectangle.
    QPointF origin(const QRect& r, ui::Alignment alignment) const;
    // Where the glyphs that differ between the two lines lie, from the left end and the
    // top of the line: each glyph's advance and its ink, in either line. An empty
    // rectangle when none differ; nullopt when the lines cannot be compared glyph by
    // glyph.
    static std::optional<QRectF> difference(const CaptionLine& a, const CaptionLine& b);
    void draw(QPainter& p, const QPointF& origin) const;
    // The glyphs, placed at `origin`, whose advance or ink reaches across `area` from left
    // to right, each as its index and position: all that decides how `area` looks.
    QByteArray glyphsAcross(const QPointF& origin, const QRectF& area) const;

private:
    // Glyph i of a run, from the left end and the top of the line: its advance (to the
    // next glyph, or to the line's end) and its ink.
    QRectF glyphArea(const QGlyphRun& run, qsizetype i) const;

    qreal width_ = 0;
    qreal height_ = 0;
    QList<QGlyphRun> runs_;
};

// The glyphs of single characters in one font, and which pairs of them set side by side
// take exactly their own advances (no kerning, no ligature). A clock's captions are made
// of a dozen characters: once their pairs have been seen, a caption is set from this
// table with no text shaping, glyph for glyph and position for position as shaping
// would set it. A caption holding a pair the face kerns is shaped instead; with some
// serif faces that is every 12-hour caption (a space kerned before A and P, and "11").
class GlyphTable {
public:
    GlyphTable(const QFont& font, QPaintDevice* device) : font_(font), device_(device) {}

    // The caption set from the table, or null when one of its characters or pairs does
    // not set plainly (then the caller shapes it).
    std::unique_ptr<CaptionLine> line(const QString& text);

private:
    struct Glyph {
        quint32 index = 0;
        qreal advance = 0;
    };

    // The shaped glyphs of a short text, when it is one run in the table's font.
    std::optional<QGlyphRun> shaped(const QString& text, qreal* width);
    const Glyph* glyph(QChar c);
    bool plainPair(QChar a, QChar b);

    QFont font_;
    QPaintDevice* device_;
    QRawFont raw_;
    qreal baseline_ = 0;
    qreal height_ = 0;
    QHash<char16_t, std::optional<Glyph>> glyphs_;
    QHash<quint32, bool> pairs_;
};

}  // namespace qt
