/* Functions with and without full documentation, for the check of the
 * header's function documentation. */
#include <stdint.h>

/**
 * Fully documented.
 * @param a  First.
 * @param b  Second.
 * @retval 0 Done.
 */
int32_t TVX_Complete(int32_t a, int32_t b);
/**
 * One parameter undocumented.
 * @param a  First.
 * @return 0.
 */
int32_t TVX_HalfParams(int32_t a, int32_t count);
/**
 * No results documented.
 * @param a  First.
 */
int32_t TVX_NoResults(int32_t a);
/**
 * A parameter documented under a name the function does not have.
 * @param a     First.
 * @param stale Gone.
 * @return 0.
 */
int32_t TVX_StaleParam(int32_t a);
/** Returns nothing and takes nothing: nothing to document beyond this. */
void TVX_Nothing(void);
int32_t TVX_Bare(int32_t a);
