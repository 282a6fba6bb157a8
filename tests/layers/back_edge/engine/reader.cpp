#include "protocol/dialect.h"
