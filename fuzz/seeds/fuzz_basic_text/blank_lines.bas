

   	
B=1		' t
	C = 2
