#include "snippets/SnippetStore.h"

#include "core/Ansi.h"

namespace {

QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return text;
}

bool sameKey(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

TSnippetStore::TSnippetStore(QObject* parent) : QAbstractTableModel(parent) {}

void TSnippetStore::replaceAll(const TSnippetFile& file) {
    beginResetModel();
    FRows = file.rows;
    FEncoding = file.encoding;
    endResetModel();
}

void TSnippetStore::setSnippets(const QList<TSnippet>& rows) {
    beginResetModel();
    FRows = rows;
    endResetModel();
}

void TSnippetStore::LoadSnippetFile() {
    replaceAll(TSnippetFile::load(FSnippetFile));
}

bool TSnippetStore::Save(QString* reason) const {
    return Export(FSnippetFile, reason);
}

bool TSnippetStore::Import(const QString& path, QString* reason) {
    TSnippetFile::LoadStatus status = TSnippetFile::LoadStatus::Missing;
    const TSnippetFile file = TSnippetFile::load(path, &status, reason);
    if (status != TSnippetFile::LoadStatus::Loaded)
        return false;
    replaceAll(file);
    return true;
}

bool TSnippetStore::Export(const QString& path, QString* reason) const {
    TSnippetFile file;
    file.rows = FRows;
    file.encoding = FEncoding;
    return file.save(path, reason);
}

QByteArray TSnippetStore::LookupSnippet(const QByteArray& key) const {
    const QString wanted = Ansi::toUnicode(key);
    for (const TSnippet& row : FRows) {
        if (sameKey(row.key, wanted))
            return Ansi::fromUnicode(row.text);
    }
    return {};
}

bool TSnippetStore::isKeyAllowed(int row, const QString& key, QString* message) const {
    if (key.contains(QLatin1Char('='))) {
        if (message)
            *message = QStringLiteral("Ein Kurztext darf kein Gleichheitszeichen (=) enthalten.");
        return false;
    }
    if (key.isEmpty())
        return true;
    for (qsizetype i = 0; i < FRows.size(); ++i) {
        if (i != row && sameKey(FRows.at(i).key, key)) {
            if (message)
                *message = QStringLiteral("Der Kurztext \"%1\" ist bereits vorhanden.").arg(FRows.at(i).key);
            return false;
        }
    }
    return true;
}

int TSnippetStore::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(FRows.size()) + 1;
}

int TSnippetStore::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TSnippetStore::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= FRows.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const TSnippet& row = FRows.at(index.row());
    return index.column() == KeyColumn ? row.key : row.text;
}

QVariant TSnippetStore::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return section == KeyColumn ? QStringLiteral("Kurztext") : QStringLiteral("Textbaustein");
}

Qt::ItemFlags TSnippetStore::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TSnippetStore::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.row() > FRows.size())
        return false;
    const int row = index.row();
    const QString text = oneLine(value.toString());
    if (index.column() == KeyColumn) {
        QString message;
        if (!isKeyAllowed(row, text, &message)) {
            Q_EMIT editRefused(message);
            return false;
        }
    }
    if (row == FRows.size()) {
        // The new-entry row: only something entered makes it a snippet. It
        // becomes that snippet's row (an edit in it goes on there), and a new
        // empty row follows it.
        if (text.isEmpty())
            return false;
        beginInsertRows(QModelIndex(), row + 1, row + 1);
        FRows.append(index.column() == KeyColumn ? TSnippet{text, QString()} : TSnippet{QString(), text});
        endInsertRows();
        Q_EMIT dataChanged(this->index(row, KeyColumn), this->index(row, TextColumn));
        return true;
    }
    QString& field = index.column() == KeyColumn ? FRows[row].key : FRows[row].text;
    if (field == text)
        return true;
    field = text;
    Q_EMIT dataChanged(index, index);
    return true;
}

bool TSnippetStore::insertRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || row > FRows.size() || count < 1)
        return false;
    beginInsertRows(QModelIndex(), row, row + count - 1);
    FRows.insert(row, count, TSnippet{});
    endInsertRows();
    return true;
}

bool TSnippetStore::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > FRows.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    FRows.remove(row, count);
    endRemoveRows();
    return true;
}
