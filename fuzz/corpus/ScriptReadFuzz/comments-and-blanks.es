// line
/* block
 * over lines */	int
x=1;;;print(x);//end