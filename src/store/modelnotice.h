#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

namespace mendral {

/**
 * The models behind an import's analysis, as the store sees them: the check that names the
 * missing ones (asked off the main thread once an import), and the notice the user gets. The
 * notice is given the first time in a run that an import finds models missing, and stays.
 */
class ModelNotice {
public:
    /** Lines naming the missing models (models::missing() in the program); empty when none. */
    using Check = std::function<QStringList()>;

    void setCheck(Check check) { m_check = std::move(check); }
    /** The check to run; empty when none was set (tests with their own analysis): nothing is
     *  then missing. */
    const Check &check() const { return m_check; }

    /** Records what an import found missing; true when this gives the notice its text. */
    bool note(const QStringList &missing);
    /** The notice (models::notice()), empty until an import found models missing. */
    const QString &text() const { return m_text; }

private:
    Check m_check;
    QString m_text;
};

} // namespace mendral
