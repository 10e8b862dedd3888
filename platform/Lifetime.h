#pragma once

// Marks a heap object that is meant to live until the process ends (effects,
// cached resources, the shared programs) so the leak checker of sanitizer
// builds neither reports it nor what it points to. Does nothing otherwise.
void keepForLifetime(const void* object);
