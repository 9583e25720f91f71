/* A setup program that ends at once: the run's clean-up follows
   straight on its start. A console program, as many setups' helpers are. */
int main(void) { return 0; }
