#include "messages/RichEditURL.h"

#include "core/Ansi.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

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
}

QString TRichEditURL::normalized(const QByteArray& ansi) {
    QString text = Ansi::toUnicode(ansi);
    if (FEndsWithCR && text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1); // the CR before it already ended the line
    if (!ansi.isEmpty())
        FEndsWithCR = ansi.endsWith('\r');
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void TRichEditURL::setAnsiText(const QByteArray& text) {
    FEndsWithCR = false;
    FShown = normalized(text);
    FLinks.clear();
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
    while (from > 0 && !FShown.at(from - 1).isSpace())
        --from;
    FShown += more;
    while (!FLinks.isEmpty() && FLinks.constLast().start >= from)
        FLinks.removeLast();
    renderFrom(from);
}

void TRichEditURL::renderFrom(qsizetype from) {
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.setPosition(int(from));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();

    const QStringView segment = QStringView(FShown).mid(from);
    const QTextCharFormat plain;
    QTextCharFormat link;
    link.setAnchor(true);
    link.setFontUnderline(true);
    link.setForeground(palette().link());

    qsizetype done = 0;
    for (const LinkFinder::TLink& l : LinkFinder::find(segment)) {
        if (l.start > done)
            cursor.insertText(segment.mid(done, l.start - done).toString(), plain);
        const QString address = segment.mid(l.start, l.length).toString();
        link.setAnchorHref(address);
        cursor.insertText(address, link);
        FLinks.append(LinkFinder::TLink{from + l.start, l.length});
        done = l.start + l.length;
    }
    if (done < segment.size())
        cursor.insertText(segment.mid(done).toString(), plain);
    cursor.endEditBlock();
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
            const int hit = document()->documentLayout()->hitTest(inDocument, Qt::ExactHit);
            int index = hit >= 0 ? linkAt(hit) : -1;
            if (index < 0 && hit > 0)
                index = linkAt(hit - 1);
            if (index >= 0) {
                const LinkFinder::TLink l = FLinks.at(index);
                QTextCursor selection(document());
                selection.setPosition(int(l.start));
                selection.setPosition(int(l.start + l.length), QTextCursor::KeepAnchor);
                if (focusPolicy() & Qt::ClickFocus)
                    setFocus(Qt::MouseFocusReason);
                setTextCursor(selection);
                DoURLClick(selection.selectedText());
                event->accept();
                return;
            }
        }
    }
    QTextBrowser::mousePressEvent(event);
}
