// The independent test ZIP writer of the content tests, built into this test
// program too, so zipped books are written the same way everywhere.
#include "content/zip_test_util.cc"  // NOLINT(bugprone-suspicious-include)
