#pragma once

#include <QString>

#include <memory>

QT_BEGIN_NAMESPACE
class QHeaderView;
class QSettings;
class QWidget;
QT_END_NAMESPACE

namespace quorvel {

// The layout a window remembers across restarts: its geometry and maximised state, the positions
// of its named splitters, a table header's column widths, and a few plain values. Kept in an INI
// file of its own, apart from the program's options. A missing or damaged file gives the
// built-in layout. UI thread.
class LayoutStore final
{
public:
    explicit LayoutStore(QString path);
    ~LayoutStore();
    LayoutStore(const LayoutStore &) = delete;
    LayoutStore &operator=(const LayoutStore &) = delete;

    const QString &path() const { return m_path; }

    // Geometry, maximised state and every splitter with an object name under window.
    void saveWindow(const QWidget &window);
    // Returns whether a geometry was restored (the window then shows as it was left).
    bool restoreWindow(QWidget &window) const;

    void saveHeader(const QString &name, const QHeaderView &header);
    bool restoreHeader(const QString &name, QHeaderView &header) const;

    void setInt(const QString &key, int value);
    // fallback when the key is missing or not a whole number.
    int intValue(const QString &key, int fallback) const;

    // Writes what was saved to the file; false (and why in *error) when it could not.
    bool sync(QString *error = nullptr);
    // Deletes the file; later saves are dropped until the store is made again.
    bool forget();

private:
    QString m_path;
    std::unique_ptr<QSettings> m_settings; // null once forgotten
};

} // namespace quorvel
