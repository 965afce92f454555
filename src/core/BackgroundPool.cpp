#include "BackgroundPool.h"

namespace snipbrook {

QThreadPool &backgroundPool()
{
    static QThreadPool pool;
    return pool;
}

} // namespace snipbrook
