print(); print 1; print (2) + 3; print("\n"); print;
