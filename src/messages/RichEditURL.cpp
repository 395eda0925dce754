#include "messages/RichEditURL.h"

#include "core/Ansi.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <utility>

TRichEditURL::TRichEditURL(QWidget* parent) : QTextBrowser(parent) {
    setReadOnly(true);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                            Qt::LinksAccessibleByMouse);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setLineWrapMode(QTextEdit::WidgetWidth);
    useUnshapedFont();
}

void TRichEditURL::useUnshapedFont() {
    // The text is Windows-1252, which needs no shaping: without it, laying out
    // a received message takes about a third less time.
    QFont unshaped = font();
    unshaped.setStyleStrategy(QFont::StyleStrategy(unshaped.styleStrategy() | QFont::PreferNoShaping));
    document()->setDefaultFont(unshaped);
}

void TRichEditURL::changeEvent(QEvent* event) {
    QTextBrowser::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        useUnshapedFont();
}

QString TRichEditURL::normalized(const QByteArray& ansi) {
    QString text = Ansi::toUnicode(ansi);
    if (FEndsWithCR && text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1); // the CR before it already ended the line
    if (!ansi.isEmpty())
        FEndsWithCR = ansi.endsWith('\r');
    return lineBreaksNormalized(std::move(text));
}

QString TRichEditURL::lineBreaksNormalized(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void TRichEditURL::setAnsiText(const QByteArray& text) {
    FEndsWithCR = false;
    FRevealFrom = -1;
    FShown = normalized(text);
    FLinks.clear();
    FBreaks.clear();
    renderFrom(0);
    verticalScrollBar()->setValue(0);
}

void TRichEditURL::appendAnsiText(const QByteArray& added) {
    const QString more = normalized(added);
    if (more.isEmpty())
        return;
    // A link may run on across the seam: show the last word again together with
    // the new text.
    qsizetype from = FShown.size();
    const qsizetype seamStart = std::max<qsizetype>(0, from - kMaxSeam);
    while (from > seamStart && !FShown.at(from - 1).isSpace())
        --from;
    FShown += more;
    while (!FLinks.isEmpty() && FLinks.constLast().start >= from)
        FLinks.removeLast();
    renderFrom(from);
}

bool TRichEditURL::replaceAnsiHead(const QByteArray& oldHead, const QByteArray& newHead) {
    const QString oldText = lineBreaksNormalized(Ansi::toUnicode(oldHead));
    const QString newText = lineBreaksNormalized(Ansi::toUnicode(newHead));
    const auto wholeLines = [](const QString& text) { return text.endsWith(QLatin1Char('\n')); };
    if (!wholeLines(oldText) || !wholeLines(newText) || !FShown.startsWith(oldText) ||
        !LinkFinder::find(newText).isEmpty())
        return false;

    const qsizetype removed = oldText.size();
    const qsizetype shift = newText.size() - removed;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.setPosition(int(documentPosition(removed)), QTextCursor::KeepAnchor);
    cursor.insertText(newText, QTextCharFormat());
    cursor.endEditBlock();

    // No break or link crosses the end of a line.
    FShown.replace(0, removed, newText);
    const auto firstBreak = std::lower_bound(FBreaks.begin(), FBreaks.end(), removed);
    FBreaks.erase(FBreaks.begin(), firstBreak);
    for (qsizetype& b : FBreaks)
        b += shift;
    const auto firstLink = std::lower_bound(FLinks.begin(), FLinks.end(), removed,
                                            [](const LinkFinder::TLink& l, qsizetype p) { return l.start < p; });
    FLinks.erase(FLinks.begin(), firstLink);
    for (LinkFinder::TLink& l : FLinks)
        l.start += shift;
    if (FRevealFrom >= 0)
        FRevealFrom = std::max<qsizetype>(0, FRevealFrom + shift);
    return true;
}

void TRichEditURL::revealFrom(qsizetype position) {
    FRevealFrom = position;
    scrollToReveal();
    FRevealFrom = position;
    QMetaObject::invokeMethod(this, &TRichEditURL::scrollToReveal, Qt::QueuedConnection);
}

void TRichEditURL::scrollToReveal() {
    const qsizetype position = std::exchange(FRevealFrom, -1);
    if (position < 0 || position > FShown.size())
        return;
    // The first line that starts at or after the position: the new text begins
    // with a line break after the text before it.
    const int at = int(documentPosition(position));
    QTextBlock block = document()->findBlock(at);
    if (block.position() < at && block.next().isValid())
        block = block.next();
    const int top = int(document()->documentLayout()->blockBoundingRect(block).top());
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(qMin(top, bar->maximum()));
}

qsizetype TRichEditURL::documentPosition(qsizetype shown) const {
    // Breaks at or before `shown` stand in the document before it.
    const auto after = std::upper_bound(FBreaks.cbegin(), FBreaks.cend(), shown);
    return shown + (after - FBreaks.cbegin());
}

qsizetype TRichEditURL::shownPosition(qsizetype document) const {
    // Break j stands at document position FBreaks[j] + j.
    qsizetype low = 0;
    qsizetype high = FBreaks.size();
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        if (FBreaks.at(mid) + mid < document)
            low = mid + 1;
        else
            high = mid;
    }
    return document - low;
}

void TRichEditURL::renderFrom(qsizetype from) {
    // Breaks after `from` are placed again with the new text.
    while (!FBreaks.isEmpty() && FBreaks.constLast() > from)
        FBreaks.removeLast();

    // Where the pane breaks the segment's lines: a paragraph runs from a line
    // break or a pane break; past kMaxBlock characters it breaks after the next
    // blank, past kMaxBlock + kBreakSearch anywhere.
    qsizetype lineStart = FBreaks.isEmpty() ? 0 : FBreaks.constLast();
    for (qsizetype i = from; i > lineStart; --i) {
        if (FShown.at(i - 1) == QLatin1Char('\n')) {
            lineStart = i;
            break;
        }
    }
    const qsizetype firstNewBreak = FBreaks.size();
    for (qsizetype i = from; i < FShown.size(); ++i) {
        const QChar c = FShown.at(i);
        const qsizetype length = i - lineStart;
        if (c != QLatin1Char('\n') && ((length >= kMaxBlock && FShown.at(i - 1) == QLatin1Char(' ')) ||
                                       length >= kMaxBlock + kBreakSearch)) {
            FBreaks.append(i);
            lineStart = i;
        }
        if (c == QLatin1Char('\n'))
            lineStart = i + 1;
    }

    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.setPosition(int(documentPosition(from)));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();

    const QStringView segment = QStringView(FShown).mid(from);
    const QTextCharFormat plain;
    QTextCharFormat link;
    link.setAnchor(true);
    link.setFontUnderline(true);
    link.setForeground(palette().link());

    // Inserts FShown[begin, end) with the format, starting a paragraph at each pane break.
    qsizetype nextBreak = firstNewBreak;
    auto insert = [&](qsizetype begin, qsizetype end, const QTextCharFormat& format) {
        while (begin < end) {
            if (nextBreak < FBreaks.size() && FBreaks.at(nextBreak) == begin) {
                cursor.insertBlock();
                ++nextBreak;
            }
            const qsizetype stop = nextBreak < FBreaks.size() ? std::min(end, FBreaks.at(nextBreak)) : end;
            cursor.insertText(FShown.mid(begin, stop - begin), format);
            begin = stop;
        }
    };

    qsizetype done = 0;
    for (const LinkFinder::TLink& l : LinkFinder::find(segment)) {
        if (l.start > done)
            insert(from + done, from + l.start, plain);
        link.setAnchorHref(segment.mid(l.start, l.length).toString());
        insert(from + l.start, from + l.start + l.length, link);
        FLinks.append(LinkFinder::TLink{from + l.start, l.length});
        done = l.start + l.length;
    }
    if (done < segment.size())
        insert(from + done, FShown.size(), plain);
    cursor.endEditBlock();
}

QMimeData* TRichEditURL::createMimeDataFromSelection() const {
    const QTextCursor selection = textCursor();
    const qsizetype begin = shownPosition(selection.selectionStart());
    const qsizetype end = shownPosition(selection.selectionEnd());
    auto* data = new QMimeData;
    data->setText(FShown.mid(begin, end - begin));
    return data;
}

int TRichEditURL::linkAt(qsizetype position) const {
    auto it = std::upper_bound(FLinks.cbegin(), FLinks.cend(), position,
                               [](qsizetype p, const LinkFinder::TLink& l) { return p < l.start; });
    if (it == FLinks.cbegin())
        return -1;
    --it;
    if (position < it->start + it->length)
        return int(it - FLinks.cbegin());
    return -1;
}

void TRichEditURL::DoURLClick(const QString& url) {
    Q_EMIT OnURLClick(this, url);
}

void TRichEditURL::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        if (!anchorAt(pos).isEmpty()) {
            const QPointF inDocument(pos.x() + horizontalScrollBar()->value(),
                                     pos.y() + verticalScrollBar()->value());
            const int hitInDocument = document()->documentLayout()->hitTest(inDocument, Qt::ExactHit);
            const qsizetype hit = hitInDocument >= 0 ? shownPosition(hitInDocument) : -1;
            int index = hit >= 0 ? linkAt(hit) : -1;
            if (index < 0 && hit > 0)
                index = linkAt(hit - 1);
            if (index >= 0) {
                const LinkFinder::TLink l = FLinks.at(index);
                QTextCursor selection(document());
                selection.setPosition(int(documentPosition(l.start)));
                selection.setPosition(int(documentPosition(l.start + l.length - 1) + 1),
                                      QTextCursor::KeepAnchor);
                if (focusPolicy() & Qt::ClickFocus)
                    setFocus(Qt::MouseFocusReason);
                setTextCursor(selection);
                DoURLClick(FShown.mid(l.start, l.length));
                event->accept();
                return;
            }
        }
    }
    QTextBrowser::mousePressEvent(event);
}

void TRichEditURL::keyPressEvent(QKeyEvent* event) {
    // The pane takes Enter for itself, so that it does not reach the window,
    // where Enter sends the draft.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QTextBrowser::keyPressEvent(event);
}
