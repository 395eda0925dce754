#pragma once

#include "messages/LinkFinder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextBrowser>

// The message pane: read-only plain text whose web addresses are links. The
// text is never read as markup. A press of the left button on a link selects
// it and reports it through OnURLClick; the pane never opens anything itself.
//
// A line longer than about kMaxBlock characters is laid out in several
// paragraphs (broken after a blank where there is one), so that adding to a
// long line costs in proportion to the added text: the layout of a paragraph
// is redone whole on every change. The breaks are the pane's own; the shown
// text, its links and what is copied do not contain them.
class TRichEditURL : public QTextBrowser {
    Q_OBJECT
  public:
    explicit TRichEditURL(QWidget* parent = nullptr);

    // Replaces the whole text (Windows-1252, CR LF line breaks).
    void setAnsiText(const QByteArray& text);
    // Adds text at the end; costs in proportion to the added text.
    void appendAnsiText(const QByteArray& added);
    // Replaces the beginning `oldHead` of the text by `newHead`, both whole
    // lines without links; costs in proportion to the heads and the number of
    // links and breaks. False, with nothing changed, when the text does not
    // begin with `oldHead` or a head is not such lines.
    bool replaceAnsiHead(const QByteArray& oldHead, const QByteArray& newHead);
    // Scrolls so that the line at `position` of the shown text (the start of a
    // new message) is in view, as high up as the text allows; again once the
    // pane has been laid out, when it is only being shown.
    void revealFrom(qsizetype position);
    // The text as shown (UTF-16, line breaks as '\n').
    QString shownText() const { return FShown; }
    // The longest paragraph the pane lays out, in characters (a break after a
    // blank may come up to kBreakSearch characters later).
    static constexpr qsizetype kMaxBlock = 1000;
    static constexpr qsizetype kBreakSearch = 200;
    // How far back from the end a link is looked for again when text is added.
    static constexpr qsizetype kMaxSeam = 2048;
    // The positions in shownText() before which the pane breaks a long line.
    QList<qsizetype> softBreaks() const { return FBreaks; }
    // The links of the shown text, in order.
    QList<LinkFinder::TLink> links() const { return FLinks; }

    void DoURLClick(const QString& url);

  Q_SIGNALS:
    void OnURLClick(QObject* sender, const QString& url);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    // Enter is the pane's own: read-only, it does nothing with it.
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    // What is copied is the shown text of the selection, without the pane's breaks.
    QMimeData* createMimeDataFromSelection() const override;

  private:
    void useUnshapedFont();
    QString normalized(const QByteArray& ansi);
    static QString lineBreaksNormalized(QString text);
    void renderFrom(qsizetype from);
    int linkAt(qsizetype position) const;
    void scrollToReveal();
    // Positions in the document and in FShown, which differ by the breaks before them.
    qsizetype documentPosition(qsizetype shown) const;
    qsizetype shownPosition(qsizetype document) const;

    QString FShown;
    QList<LinkFinder::TLink> FLinks;
    bool FEndsWithCR = false;
    qsizetype FRevealFrom = -1;
    QList<qsizetype> FBreaks; // ascending
};
