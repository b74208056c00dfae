 nan  nan  nan 
 nan  nan  nan 
 nan  nan  nan 
 nan  nan  nan 
