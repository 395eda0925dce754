#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class QPlainTextEdit;
class TSnippetStore;

// The F3 expansion in the message editor. The key is the text between the
// caret and the nearest blank or line break before it (a tab or any other
// character belongs to the key); a key of 1 to 62 characters with a snippet is
// replaced by the snippet's text. Key and text pass through Windows-1252 on
// the way, as the lookup works on 8-bit text.
namespace SnippetExpansion {

constexpr qsizetype kMaxKeyLength = 62;

// The key's text as Windows-1252 -> the snippet's text as Windows-1252, empty for none.
using TLookup = std::function<QByteArray(const QByteArray& key)>;

struct TReplacement {
    qsizetype start = 0;  // where the key begins
    qsizetype length = 0; // the key's length (up to the caret)
    QString text;         // what replaces it
    friend bool operator==(const TReplacement&, const TReplacement&) = default;
};

// Where the key before `caret` begins: just after the nearest blank or line
// break before the caret, or 0.
qsizetype keyStart(QStringView text, qsizetype caret);

// What F3 does to `text` with the caret at `caret`: nothing (nullopt) with a
// selection, for an empty key or one longer than 62 characters, or when the
// lookup gives no text; else the key is replaced by the looked-up text.
std::optional<TReplacement> expand(QStringView text, qsizetype caret, bool hasSelection, const TLookup& lookup);

} // namespace SnippetExpansion

// Applies the F3 expansion to a plain-text editor (the main window's MemoSend).
// It watches the editor's key presses; every key press goes on to the editor
// as usual.
class TSnippetExpander : public QObject {
    Q_OBJECT
  public:
    TSnippetExpander(const TSnippetStore& store, QPlainTextEdit* editor, QObject* parent = nullptr);

    // The key-down step for F3: expands the key before the caret, if it has a snippet.
    void MemoSendKeyDown();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const TSnippetStore& FStore;
    QPlainTextEdit* FEditor;
};
