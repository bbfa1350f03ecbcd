/* The key resource needs a module around it; it has no code of its own. */
int junk_key_placeholder;
