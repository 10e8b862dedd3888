#pragma once

class Demo;
class GlWindow;

// Draws the loading bar at progress 0 to 1 and the title, and presents it ten
// times; a quit request taken meanwhile is dropped.
void showProgress(Demo& demo, float progress, GlWindow& window);
// The same picture presented once: for a long load that moves the bar on.
void showProgressOnce(Demo& demo, float progress, GlWindow& window);
