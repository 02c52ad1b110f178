/* A library that loads but has no PropsSI entry. */
int not_the_property_entry(void) { return 42; }
