#include "resources/Resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE expands to a declaration of the generated initialiser, which
// must sit in the global namespace; hence this helper outside namespace vantrel.
static void initVantrelQrc()
{
    Q_INIT_RESOURCE(vantrel);
}

namespace vantrel {

void initResources()
{
    // Registering the same data twice only bumps a reference count, but there
    // is no reason to do it more than once.
    static const bool registered = [] {
        initVantrelQrc();
        return true;
    }();
    (void)registered;
}

} // namespace vantrel
