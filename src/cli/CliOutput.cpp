#include "cli/CliOutput.h"
