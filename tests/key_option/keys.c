/* The key resources need a module around them; it has no code of its own. */
int keys_placeholder;
