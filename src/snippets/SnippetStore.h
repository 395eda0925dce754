#pragma once

#include "snippets/SnippetFile.h"

#include <QAbstractTableModel>

// The live snippet store: the rows of the snippet editor's grid. The F3
// expansion looks keys up here, so every change counts at once, saved or not.
//
// Column 0 is the key ("Kurztext"), column 1 the text ("Textbaustein"). After
// the snippets the model shows one empty row for a new entry: text entered
// there appends a snippet. Keys are unique without regard to letter case (empty
// keys aside) and hold no "="; a line break in a key or text becomes a blank,
// because each snippet is one line of the file.
class TSnippetStore : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { KeyColumn = 0, TextColumn = 1 };

    explicit TSnippetStore(QObject* parent = nullptr);

    // The file that start-up loads and "Speichern" writes.
    void setSnippetFile(const QString& path) { FSnippetFile = path; }
    QString snippetFile() const { return FSnippetFile; }

    // Start-up: empties the store and loads the snippet file; a file that cannot
    // be read leaves the store empty, silently.
    void LoadSnippetFile();
    // "Speichern": writes all rows to the snippet file; false with a German reason.
    bool Save(QString* reason = nullptr) const;
    // "Import": replaces the rows by those of the file; a file that cannot be
    // read leaves the store as it was and gives false with a German reason.
    bool Import(const QString& path, QString* reason = nullptr);
    // "Export": writes all rows to the file; false with a German reason.
    bool Export(const QString& path, QString* reason = nullptr) const;

    // The text of the first snippet whose key equals `key` without regard to
    // letter case, both as Windows-1252; empty when there is none.
    QByteArray LookupSnippet(const QByteArray& key) const;

    const QList<TSnippet>& snippets() const { return FRows; }
    void setSnippets(const QList<TSnippet>& rows);
    // The encoding of the file last loaded or imported, used by every write.
    TSnippetFile::Encoding encoding() const { return FEncoding; }
    // The row that shows a new entry (after the last snippet).
    int newEntryRow() const { return static_cast<int>(FRows.size()); }
    // A key the user may give the row: false, with a German message, for a
    // key that another row has or that holds "=".
    bool isKeyAllowed(int row, const QString& key, QString* message = nullptr) const;

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

  Q_SIGNALS:
    // An edit was refused; the message says why.
    void editRefused(const QString& message);

  private:
    void replaceAll(const TSnippetFile& file);

    QList<TSnippet> FRows;
    TSnippetFile::Encoding FEncoding = TSnippetFile::Encoding::Ansi;
    QString FSnippetFile;
};
