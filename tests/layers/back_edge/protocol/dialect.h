#include "engine/reader.h"
