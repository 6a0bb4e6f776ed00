// How screens list template kinds, templates and letters through the
// resource manager.
#pragma once

#include "Business/Resource/ResVisitorFactory.h"

// rtTemplateFolder: the root under the empty path, the kinds under the root.
class TTemplateFolderResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcResPath* GetSingleton(TRcResPath* aPath) const override;
};

// rtTemplate: the templates of a kind, [root, kind]; an
// ITemplateListOpertion narrows them to one language.
class TTemplateResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};

// rtLetterFolder: the one letter folder, under the empty path.
class TLetterFolderResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
    TRcResPath* GetSingleton(TRcResPath* aPath) const override;
};

// rtLetter: the letters of the letter folder.
class TLetterResVisitorFactory : public TResVisitorFactoryBase {
public:
    TRcRef<IResVisitor> CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const override;
};
