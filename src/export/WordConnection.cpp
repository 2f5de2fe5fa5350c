#include "export/WordConnection.h"

void CreateWordConnections()
{
}

void ReleaseWordConnections()
{
}
