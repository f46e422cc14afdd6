// Found first on the include path of core/ only: core/ is plain standard C++, testable and
// fuzzable on any host, so a platform header there is a build error.
#error "core/ must not include <winbase.h>: put platform code in platform/ or a higher layer"
