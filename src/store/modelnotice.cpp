#include "store/modelnotice.h"

#include "vision/modelcheck.h"

namespace mendral {

bool ModelNotice::note(const QStringList &missing)
{
    if (missing.isEmpty() || !m_text.isEmpty())
        return false;
    m_text = models::notice(missing);
    return true;
}

} // namespace mendral
