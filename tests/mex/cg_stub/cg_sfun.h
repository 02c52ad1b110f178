/*
 * Stand-in for the code-generation glue a block includes when it is not
 * built as a MEX file (MATLAB_MEX_FILE undefined). Generated code reaches the
 * callbacks below; mdlCheckParameters is for simulation only and is not among
 * them, so a block that defines it outside #if defined(MATLAB_MEX_FILE)
 * leaves an unused function behind, which the test treats as an error.
 */
void *cg_sfun_callbacks[] = {
    (void *)mdlInitializeSizes,
    (void *)mdlInitializeSampleTimes,
#if defined(MDL_START)
    (void *)mdlStart,
#endif
#if defined(MDL_INITIALIZE_CONDITIONS)
    (void *)mdlInitializeConditions,
#endif
    (void *)mdlOutputs,
#if defined(MDL_UPDATE)
    (void *)mdlUpdate,
#endif
#if defined(MDL_DERIVATIVES)
    (void *)mdlDerivatives,
#endif
    (void *)mdlTerminate,
};
