#include "cli/CliArguments.h"
