#include "snippets/SnippetExpansion.h"

#include "core/Ansi.h"
#include "snippets/SnippetStore.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

// The blank, and the line breaks an editor's text can hold.
bool separates(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\n') || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

} // namespace

namespace SnippetExpansion {

qsizetype keyStart(QStringView text, qsizetype caret) {
    qsizetype s = qBound(qsizetype(0), caret, text.size());
    while (s > 0 && !separates(text.at(s - 1)))
        --s;
    return s;
}

std::optional<TReplacement> expand(QStringView text, qsizetype caret, bool hasSelection, const TLookup& lookup) {
    if (hasSelection || caret < 0 || caret > text.size())
        return std::nullopt;
    const qsizetype s = keyStart(text, caret);
    const qsizetype length = caret - s;
    if (length < 1 || length > kMaxKeyLength)
        return std::nullopt;
    const QByteArray snippet = lookup(Ansi::fromUnicode(text.sliced(s, length).toString()));
    if (snippet.isEmpty())
        return std::nullopt;
    return TReplacement{s, length, Ansi::toUnicode(snippet)};
}

} // namespace SnippetExpansion

TSnippetExpander::TSnippetExpander(const TSnippetStore& store, QPlainTextEdit* editor, QObject* parent)
    : QObject(parent), FStore(store), FEditor(editor) {
    FEditor->installEventFilter(this);
}

bool TSnippetExpander::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FEditor && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_F3)
        MemoSendKeyDown();
    return QObject::eventFilter(watched, event);
}

void TSnippetExpander::MemoSendKeyDown() {
    QTextCursor cursor = FEditor->textCursor();
    // A key never reaches past a line break, so the caret's line is enough.
    const QTextBlock block = cursor.block();
    const auto replacement =
        SnippetExpansion::expand(block.text(), cursor.positionInBlock(), cursor.hasSelection(),
                                 [this](const QByteArray& key) { return FStore.LookupSnippet(key); });
    if (!replacement)
        return;
    cursor.setPosition(block.position() + replacement->start);
    cursor.setPosition(block.position() + replacement->start + replacement->length, QTextCursor::KeepAnchor);
    cursor.insertText(replacement->text);
    FEditor->setTextCursor(cursor);
}
